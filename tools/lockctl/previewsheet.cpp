#include "previewsheet.h"

#include "app/framepreview.h"

#include <QDateTime>
#include <QFont>
#include <QPainter>
#include <QTime>

namespace {
constexpr int FrameWidth = 240;
constexpr int FrameHeight = 320;
constexpr int Margin = 12;
constexpr int LabelHeight = 20;

const QTime moments[] = {
    QTime(0, 0, 0), QTime(3, 15, 30), QTime(9, 41, 27), QTime(12, 0, 0), QTime(23, 59, 59),
};
} // namespace

QImage composePreviewSheet(FramePreview& preview, const QDate& day)
{
    const int columns = int(std::size(moments));
    const int rows = 2;
    QImage sheet(Margin + columns * (FrameWidth + Margin), Margin + rows * (LabelHeight + FrameHeight + Margin),
                 QImage::Format_ARGB32);
    sheet.fill(QColor(0x30, 0x30, 0x30));

    QPainter painter(&sheet);
    QFont labelFont(QStringLiteral("DejaVu Sans"));
    labelFont.setPixelSize(12);
    painter.setFont(labelFont);
    painter.setPen(QColor(0xE0, 0xE0, 0xE0));

    for (int row = 0; row < rows; ++row) {
        const bool armed = row == 1;
        for (int column = 0; column < columns; ++column) {
            const QDateTime at(day, moments[column]);
            const int x = Margin + column * (FrameWidth + Margin);
            const int y = Margin + row * (LabelHeight + FrameHeight + Margin);
            painter.drawText(QRect(x, y, FrameWidth, LabelHeight), Qt::AlignLeft | Qt::AlignVCenter,
                             at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                 + (armed ? QStringLiteral("  armed") : QStringLiteral("  not armed")));
            painter.drawImage(x, y + LabelHeight, preview.frame(time_t(at.toSecsSinceEpoch()), armed));
        }
    }
    return sheet;
}
