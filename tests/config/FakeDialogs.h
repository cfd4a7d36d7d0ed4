#pragma once
// Answers the colour, font and file choosers in place of a person, and records how each was
// opened.
#include "config/Dialogs.h"

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QSize>
#include <QString>
#include <optional>

namespace quorvel::test {

class FakeDialogs : public PlatformDialogs {
public:
    struct FileRequest {
        QString title;
        QString folder;
        QString filter;
    };

    FakeDialogs() { setPlatformDialogs(this); }
    ~FakeDialogs() override { setPlatformDialogs(nullptr); }

    // Answers, in order; an invalid colour, an empty optional or an empty path cancels, and so
    // does a chooser opened with no answer queued.
    QList<QColor> colourAnswers;
    QList<std::optional<FontChoice>> fontAnswers;
    QList<QString> fileAnswers;

    QList<QColor> colourInitials;
    QList<FontChoice> fontInitials;
    QList<FileRequest> fileRequests;

    bool chooseColour(QWidget*, const QColor& initial, QColor* chosen) override {
        colourInitials.append(initial);
        const QColor c = colourAnswers.isEmpty() ? QColor() : colourAnswers.takeFirst();
        if (!c.isValid())
            return false;
        *chosen = c;
        return true;
    }
    bool chooseFont(QWidget*, const FontChoice& initial, FontChoice* chosen) override {
        fontInitials.append(initial);
        const std::optional<FontChoice> f = fontAnswers.isEmpty() ? std::nullopt : fontAnswers.takeFirst();
        if (!f)
            return false;
        *chosen = *f;
        return true;
    }
    bool chooseOpenFile(QWidget*, const QString& title, const QString& folder, const QString& filter,
                        QString* chosen) override {
        fileRequests.append({title, folder, filter});
        const QString path = fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
        if (path.isEmpty())
            return false;
        *chosen = path;
        return true;
    }
};

// An animated GIF of size, one frame per entry of frameColours (every pixel of a frame in that
// colour, at most four colours), each shown for delayHundredths, looping for ever.
QByteArray animatedGif(QSize size, const QList<QColor>& frameColours, int delayHundredths = 2);

} // namespace quorvel::test
