#include "PictureFilters.h"

namespace {

// The extensions of every picture the import reads.
constexpr const char* kPictureExtensions[] = {"bmp", "gif", "jpg", "jpeg", "jpe", "jfif", "png", "tif", "tiff"};

// "*.[bB][mM][pP]": the extension in any mix of small and capital letters.
QString AnyCasePattern(const QString& extension) {
    QString pattern = QStringLiteral("*.");
    for (QChar letter : extension) {
        pattern += QLatin1Char('[') + letter.toLower() + letter.toUpper() + QLatin1Char(']');
    }
    return pattern;
}

}  // namespace

QStringList PictureNameFilters() {
    QStringList patterns;
    for (const char* extension : kPictureExtensions) {
        patterns.append(AnyCasePattern(QString::fromLatin1(extension)));
    }
    return {QStringLiteral("All pictures (%1)").arg(patterns.join(QLatin1Char(' '))),
            QStringLiteral("BMP (*.bmp)"),
            QStringLiteral("GIF (*.gif)"),
            QStringLiteral("JPEG (*.jpg)"),
            QStringLiteral("PNG (*.png)"),
            QStringLiteral("TIFF (*.tif *.tiff)")};
}
