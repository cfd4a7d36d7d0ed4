#pragma once
// Keys of section "软件配置" with the defaults every reader uses.
#include "config/ConfigFile.h"
#include "config/Style.h"
#include "text/Numbers.h"

#include <QString>

#include <limits>

namespace quorvel::settings {

struct Key {
    QString name;
    QString defaultValue;
};

inline const Key kSlogan{QStringLiteral("软件启动标语"), QStringLiteral("Corvane")};
inline const Key kSloganFontName{QStringLiteral("启动标语字体名称"), QStringLiteral("楷体")};
inline const Key kSloganFontSize{QStringLiteral("启动标语字体大小"), QStringLiteral("25")};
inline const Key kSloganColour{QStringLiteral("启动标语字体颜色"), QStringLiteral("255")};
inline const Key kSloganAlignment{QStringLiteral("启动标语对齐方式"), QStringLiteral("1")};
inline const Key kLoginPicture{QStringLiteral("启动背景"), QString()};
inline const Key kLoginPictureMode{QStringLiteral("启动背景显示方式"), QStringLiteral("1")};
inline const Key kTitle{QStringLiteral("软件标题"), QStringLiteral("Corvane")};
inline const Key kTitleFontName{QStringLiteral("软件标题字体名称"), QStringLiteral("楷体")};
inline const Key kTitleFontSize{QStringLiteral("软件标题字体大小"), QStringLiteral("25")};
inline const Key kTitleBold{QStringLiteral("软件标题字体加粗"), QStringLiteral("真")};
inline const Key kTitleColour{QStringLiteral("软件标题字体颜色"), QStringLiteral("255")};
inline const Key kTitleAlignment{QStringLiteral("软件标题对齐方式"), QStringLiteral("1")};
inline const Key kThemePicture{QStringLiteral("主题图片"), QString()};
inline const Key kThemePictureMode{QStringLiteral("主题显示方式"), QStringLiteral("0")};
inline const Key kThemeBorder{QStringLiteral("软件标题边框"), QStringLiteral("0")};
inline const Key kThemeAnimated{QStringLiteral("主题动态"), QStringLiteral("真")};
inline const Key kThemeStatic{QStringLiteral("主题静态"), QString()};
inline const Key kLogoBackground{QStringLiteral("logo背景色"), QStringLiteral("58586")};
inline const Key kAddPaneColour{QStringLiteral("添加会员背景色"), QStringLiteral("14466022")};
inline const Key kSwipePaneColour{QStringLiteral("刷卡记录背景色"), QStringLiteral("5689748")};
inline const Key kRelogin{QStringLiteral("重新登录"), QStringLiteral("真")};
inline const Key kFullExit{QStringLiteral("完全退出"), QString()};
inline const Key kAutoSwipe{QStringLiteral("自动刷卡"), QStringLiteral("假")};
inline const Key kAutoUpdate{QStringLiteral("自动更新"), QString()};

inline QString read(const Key& key) { return readSetting(key.name, key.defaultValue); }
inline bool readFlag(const Key& key) { return flagFromText(read(key)); }
// Truncation toward zero; a value no integer can hold (a hand-edited file) reads as 0.
template <class Int>
Int truncatedNumber(double v) {
    if (!(v > double(std::numeric_limits<Int>::min()) - 1.0 && v < double(std::numeric_limits<Int>::max())))
        return 0;
    return static_cast<Int>(v);
}
// Numbers used as an index or a size are truncated toward zero.
inline int readInt(const Key& key) { return truncatedNumber<int>(textToNumber(read(key))); }
// Colours are stored as the decimal text of red + green*256 + blue*65536.
inline long long readColourValue(const Key& key) { return truncatedNumber<long long>(textToNumber(read(key))); }
inline QColor readColour(const Key& key) { return colourFromValue(readColourValue(key)); }
inline bool write(const Key& key, const QString& value) { return writeSetting(key.name, value); }
inline bool writeFlag(const Key& key, bool value) { return writeSetting(key.name, flagText(value)); }
inline bool writeInt(const Key& key, long long value) { return writeSetting(key.name, QString::number(value)); }
inline bool writeColour(const Key& key, const QColor& colour) { return writeInt(key, colourValue(colour)); }

} // namespace quorvel::settings
