#include "config/SettingsPage.h"

#include "config/Appearance.h"
#include "config/ColourPicker.h"
#include "config/PictureBox.h"
#include "config/RunDirectory.h"
#include "config/Settings.h"
#include "config/Style.h"
#include "text/Gbk.h"
#include "ui_SettingsPage.h"

#include <QDir>
#include <QLabel>
#include <QValidator>

namespace quorvel {

namespace {

const QString kSloganEmpty = QStringLiteral("软件启动界面标语不能为空");
const QString kTitleEmpty = QStringLiteral("软件标题不能为空");
const QString kSwitchToColourQuestion =
    QStringLiteral("您现在已经拥有宣传主题图片了！！\r\n您确定要更换为背景颜色吗？");
const QString kPictureDialogTitle = QStringLiteral("请选用高度合适的图片");
const QString kPictureFilter = QStringLiteral("图片文件 (*.jpg *.bmp *.gif *.png)");
const QString kPicturePathNotGbk = QStringLiteral("图片路径含有不能保存的字符");

// Settings are stored as GBK: a character it cannot encode is refused as it is typed, pasted or
// committed by an input method, rather than saved as "?".
class GbkOnly : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override { return canEncodeGbk(input) ? Acceptable : Invalid; }
};

// Writes both keys of a complementary pair, the chosen one first.
void writePair(const settings::Key& chosen, const settings::Key& other) {
    settings::writeFlag(chosen, true);
    settings::writeFlag(other, false);
}

} // namespace

SettingsPage::SettingsPage(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::SettingsPage>()) {
    m_ui->setupUi(this);
    for (QLineEdit* box : {m_ui->编辑框_启动软件标题, m_ui->编辑框_软件标题})
        box->setValidator(new GbkOnly(box));
    connectHandlers();
}

SettingsPage::~SettingsPage() = default;

void SettingsPage::setStyledWindows(QWidget* mainWindow, QWidget* loginWindow) {
    m_main = mainWindow;
    m_login = loginWindow;
}

QWidget* SettingsPage::mainWindow() const {
    return m_main ? m_main.data() : window();
}

void SettingsPage::setUpdateCheckHandler(std::function<void()> handler) {
    m_updateCheck = std::move(handler);
}

void SettingsPage::setInitialiseMembersHandler(std::function<void()> handler) {
    m_initialiseMembers = std::move(handler);
}

void SettingsPage::setBackupHandlers(std::function<void()> backUp, std::function<void()> restore) {
    m_backUp = std::move(backUp);
    m_restore = std::move(restore);
}

QWidget* SettingsPage::loginControl(const QString& name) const {
    return m_login ? m_login->findChild<QWidget*>(name) : nullptr;
}

QWidget* SettingsPage::mainControl(const QString& name) const {
    QWidget* main = mainWindow();
    return main ? main->findChild<QWidget*>(name) : nullptr;
}

void SettingsPage::connectHandlers() {
    using namespace settings;
    Ui::SettingsPage& ui = *m_ui;

    // Login screen.
    connect(ui.按钮_启动标题, &QPushButton::clicked, this, [this] { confirmSlogan(); });
    connect(ui.颜色选择器_启动字体颜色, &ColourPicker::colourChanged, this, [this](const QColor& c) {
        writeColour(kSloganColour, c);
        if (QWidget* label = loginControl(controls::kSloganLabel))
            setTextColour(label, c);
    });
    connect(ui.按钮_启动字体选择, &QPushButton::clicked, this, [this] { chooseFont(Target::Login); });
    connect(ui.组合框_启动标题对齐方式, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        writeInt(kSloganAlignment, index);
        if (auto* label = qobject_cast<QLabel*>(loginControl(controls::kSloganLabel)))
            label->setAlignment(alignmentFromIndex(index));
    });
    connect(ui.按钮_选择启动背景, &QPushButton::clicked, this, [this] { choosePicture(Target::Login); });
    connect(ui.组合框_启动背景显示方式, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        writeInt(kLoginPictureMode, index);
        if (auto* box = qobject_cast<PictureBox*>(loginControl(controls::kLoginPicture)))
            box->setDisplayMode(index);
    });
    // A radio button acts only when it is selected after the click; clicking the selected one
    // writes the pair again.
    connect(ui.单选框_完全退出, &QRadioButton::clicked, this, [this] {
        if (m_ui->单选框_完全退出->isChecked())
            writePair(kFullExit, kRelogin);
    });
    connect(ui.单选框_重新登录, &QRadioButton::clicked, this, [this] {
        if (m_ui->单选框_重新登录->isChecked())
            writePair(kRelogin, kFullExit);
    });

    // Main window.
    connect(ui.单选框_主题静态, &QRadioButton::clicked, this, [this] {
        if (!m_ui->单选框_主题静态->isChecked())
            return;
        writePair(kThemeStatic, kThemeAnimated);
        if (auto* box = qobject_cast<PictureBox*>(mainControl(controls::kThemePicture)))
            box->setAnimated(false);
    });
    connect(ui.单选框_主题动态, &QRadioButton::clicked, this, [this] {
        if (!m_ui->单选框_主题动态->isChecked())
            return;
        writePair(kThemeAnimated, kThemeStatic);
        if (auto* box = qobject_cast<PictureBox*>(mainControl(controls::kThemePicture)))
            box->setAnimated(true);
    });
    connect(ui.按钮_软件标题, &QPushButton::clicked, this, [this] { confirmTitle(); });
    connect(ui.颜色选择器_软件标题颜色, &ColourPicker::colourChanged, this, [this](const QColor& c) {
        writeColour(kTitleColour, c);
        if (QWidget* label = mainControl(controls::kTitleLabel))
            setTextColour(label, c);
    });
    connect(ui.按钮_软件标题字体选择, &QPushButton::clicked, this, [this] { chooseFont(Target::Main); });
    connect(ui.组合框_软件标题对齐方式, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        writeInt(kTitleAlignment, index);
        if (auto* label = qobject_cast<QLabel*>(mainControl(controls::kTitleLabel)))
            label->setAlignment(alignmentFromIndex(index));
    });
    connect(ui.按钮_主题图片, &QPushButton::clicked, this, [this] { choosePicture(Target::Main); });
    connect(ui.组合框_主题图片边框, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        writeInt(kThemeBorder, index);
        if (auto* box = qobject_cast<PictureBox*>(mainControl(controls::kThemePicture)))
            box->setBorder(index);
    });
    connect(ui.颜色选择器_主题背景色, &ColourPicker::colourChanged, this,
            [this](const QColor& c) { themeBackgroundChosen(c); });
    connect(ui.组合框_主题显示方式, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        writeInt(kThemePictureMode, index);
        if (auto* box = qobject_cast<PictureBox*>(mainControl(controls::kThemePicture)))
            box->setDisplayMode(index);
    });
    connect(ui.颜色选择器_会员添加背景色, &ColourPicker::colourChanged, this, [this](const QColor& c) {
        writeColour(kAddPaneColour, c);
        if (QWidget* pane = mainControl(controls::kAddPane))
            setBackgroundColour(pane, c);
    });
    connect(ui.颜色选择器_刷卡记录背景色, &ColourPicker::colourChanged, this,
            [this](const QColor& c) { swipePaneColourChosen(c); });
    connect(ui.选择框_自动检测软件更新, &QCheckBox::clicked, this,
            [this] { writeFlag(kAutoUpdate, m_ui->选择框_自动检测软件更新->isChecked()); });

    connect(ui.按钮_更新检查, &QPushButton::clicked, this, [this] {
        if (m_updateCheck)
            m_updateCheck();
    });
    connect(ui.按钮_初始化会员数据, &QPushButton::clicked, this, [this] {
        if (m_initialiseMembers)
            m_initialiseMembers();
    });
    connect(ui.按钮_备份数据, &QPushButton::clicked, this, [this] {
        if (m_backUp)
            m_backUp();
    });
    connect(ui.按钮_恢复数据, &QPushButton::clicked, this, [this] {
        if (m_restore)
            m_restore();
    });
}

void SettingsPage::confirmSlogan() {
    const QString text = m_ui->编辑框_启动软件标题->text();
    // Only an exactly empty text is refused; spaces are a slogan.
    if (text.isEmpty()) {
        showMessage(this, kSloganEmpty);
        return;
    }
    // The login window shows it when it is next prepared.
    settings::write(settings::kSlogan, text);
}

void SettingsPage::confirmTitle() {
    const QString text = m_ui->编辑框_软件标题->text();
    if (text.isEmpty()) {
        showMessage(this, kTitleEmpty);
        return;
    }
    settings::write(settings::kTitle, text);
    if (auto* label = qobject_cast<QLabel*>(mainControl(controls::kTitleLabel)))
        label->setText(text);
}

void SettingsPage::chooseFont(Target target) {
    using namespace settings;
    // The dialog's outcome is not consulted: a cancelled dialog still holds the values of its
    // last confirmed use, by either button.
    FontChoice chosen = m_fontDialog;
    if (platformDialogs().chooseFont(this, m_fontDialog, &chosen))
        m_fontDialog = chosen;
    const FontChoice v = m_fontDialog;

    const bool login = target == Target::Login;
    QWidget* label = login ? loginControl(controls::kSloganLabel) : mainControl(controls::kTitleLabel);
    if (!v.family.isEmpty()) {
        write(login ? kSloganFontName : kTitleFontName, v.family);
        if (label)
            setFontFace(label, v.family);
    }
    if (v.pointSize != 0) {
        writeInt(login ? kSloganFontSize : kTitleFontSize, v.pointSize);
        if (label)
            setFontPointSize(label, v.pointSize);
    }
    // Black is value 0, which means "no colour" here; the colour picker can still set it.
    if (colourValue(v.colour) != 0) {
        writeColour(login ? kSloganColour : kTitleColour, v.colour);
        if (label)
            setTextColour(label, v.colour);
        (login ? m_ui->颜色选择器_启动字体颜色 : m_ui->颜色选择器_软件标题颜色)->setColour(v.colour);
    }
    if (!login) {
        if (label)
            setFontBold(label, v.bold);
        writeFlag(kTitleBold, v.bold);
    }
}

void SettingsPage::choosePicture(Target target) {
    QString path;
    if (!platformDialogs().chooseOpenFile(this, kPictureDialogTitle, runDirectory(), kPictureFilter, &path) ||
        path.isEmpty())
        return;
    // The dialog answers with an absolute path; a bare name can only be relative to where it
    // started.
    if (QDir::isRelativePath(path))
        path = QDir(runDirectory()).absoluteFilePath(path);
    // Stored as GBK: a path it cannot encode would name another file next time.
    if (!canEncodeGbk(path)) {
        showMessage(this, kPicturePathNotGbk, MessageIcon::Error);
        return;
    }

    const bool login = target == Target::Login;
    (login ? m_ui->编辑框_启动背景 : m_ui->编辑框_LODO地址)->setText(path);
    QWidget* box = login ? loginControl(controls::kLoginPicture) : mainControl(controls::kThemePicture);
    if (auto* picture = qobject_cast<PictureBox*>(box))
        picture->setPictureFile(path);
    settings::write(login ? settings::kLoginPicture : settings::kThemePicture, path);
}

void SettingsPage::themeBackgroundChosen(const QColor& colour) {
    using namespace settings;
    // Only the path box tells whether a theme picture is in use.
    if (!m_ui->编辑框_LODO地址->text().isEmpty()) {
        if (!askOkCancel(this, kSwitchToColourQuestion, MessageIcon::Question))
            return;
        // The picture stays on screen until the main window is next created.
        write(kThemePicture, QString());
        writeColour(kLogoBackground, colour);
        return;
    }
    writeColour(kLogoBackground, colour);
    if (auto* box = qobject_cast<PictureBox*>(mainControl(controls::kThemePicture)))
        box->setBackgroundColour(colour);
}

void SettingsPage::swipePaneColourChosen(const QColor& colour) {
    settings::writeColour(settings::kSwipePaneColour, colour);
    colourSwipePane(mainWindow(), colour);
}

} // namespace quorvel
