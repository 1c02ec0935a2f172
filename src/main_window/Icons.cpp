#include "main_window/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace Icons {
namespace {

const QColor kInk(40, 40, 40);
const QColor kBlue(8, 36, 107);
const QColor kPaper(255, 255, 255);

QPixmap canvas() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    return pm;
}

void drawPage(QPainter& p) {
    p.setPen(kInk);
    p.setBrush(kPaper);
    p.drawRect(3, 1, 9, 13);
    p.setPen(QColor(120, 120, 120));
    for (int y = 4; y <= 11; y += 2)
        p.drawLine(5, y, 10, y);
}

QPixmap drawn(Command command) {
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, false);
    if (command == Command::Open) {
        p.setPen(kInk);
        p.setBrush(QColor(240, 200, 80));
        p.drawRect(1, 5, 13, 9);
        p.drawRect(1, 3, 5, 2);
    } else if (command == Command::Save) {
        p.setPen(kInk);
        p.setBrush(kBlue);
        p.drawRect(1, 1, 13, 13);
        p.setBrush(kPaper);
        p.drawRect(4, 2, 7, 5);
        p.fillRect(5, 10, 5, 4, QColor(200, 200, 200));
    } else if (command == Command::Print) {
        p.setPen(kInk);
        p.setBrush(kPaper);
        p.drawRect(4, 1, 7, 5);
        p.setBrush(QColor(180, 180, 180));
        p.drawRect(1, 6, 13, 6);
        p.setBrush(kPaper);
        p.drawRect(4, 10, 7, 5);
    } else if (command == Command::Start) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 140, 50));
        QPainterPath path;
        path.moveTo(4, 2);
        path.lineTo(13, 8);
        path.lineTo(4, 14);
        path.closeSubpath();
        p.drawPath(path);
    } else if (command == Command::Stop) {
        p.setPen(kInk);
        p.setBrush(QColor(200, 40, 40));
        p.drawRect(3, 3, 10, 10);
    } else if (command == Command::AllSelect) {
        p.setPen(QPen(kBlue, 1, Qt::DashLine));
        p.setBrush(QColor(200, 215, 240));
        p.drawRect(1, 1, 13, 13);
    } else if (command == Command::Copy) {
        p.translate(-2, -1);
        drawPage(p);
        p.translate(4, 3);
        drawPage(p);
    } else if (command == Command::Sort) {
        p.setPen(kInk);
        p.drawLine(4, 2, 4, 13);
        p.drawLine(2, 11, 4, 13);
        p.drawLine(6, 11, 4, 13);
        p.setPen(kBlue);
        for (int i = 0; i < 4; ++i)
            p.drawLine(8, 3 + 3 * i, 9 + 2 * i, 3 + 3 * i);
    } else if (command == Command::Help) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawEllipse(1, 1, 14, 14);
        p.setPen(kPaper);
        QFont f = p.font();
        f.setPixelSize(11);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRect(1, 1, 14, 14), Qt::AlignCenter, QStringLiteral("?"));
    }
    return pm;
}

const char* themeName(Command command) {
    if (command == Command::Open)
        return "document-open";
    if (command == Command::Save)
        return "document-save";
    if (command == Command::Print)
        return "document-print";
    if (command == Command::Start)
        return "media-playback-start";
    if (command == Command::Stop)
        return "process-stop";
    if (command == Command::AllSelect)
        return "edit-select-all";
    if (command == Command::Copy)
        return "edit-copy";
    if (command == Command::Sort)
        return "view-sort-ascending";
    if (command == Command::Help)
        return "help-contents";
    return "";
}

} // namespace

QIcon toolbarIcon(Command command) {
    return QIcon::fromTheme(QString::fromLatin1(themeName(command)), QIcon(drawn(command)));
}

QPixmap windowPixmap(int size) {
    // A funnel over a sheet of rows: picking lines out of a table.
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(size / 64.0, size / 64.0);
    p.setPen(QPen(kInk, 2));
    p.setBrush(kPaper);
    p.drawRoundedRect(QRectF(6, 4, 40, 52), 3, 3);
    p.setPen(QPen(QColor(150, 150, 150), 3));
    for (int y = 14; y <= 46; y += 8)
        p.drawLine(12, y, 40, y);
    p.setPen(QPen(kBlue, 3));
    p.drawLine(12, 30, 40, 30);
    QPainterPath funnel;
    funnel.moveTo(28, 24);
    funnel.lineTo(62, 24);
    funnel.lineTo(49, 42);
    funnel.lineTo(49, 60);
    funnel.lineTo(41, 56);
    funnel.lineTo(41, 42);
    funnel.closeSubpath();
    p.setPen(QPen(kInk, 2));
    p.setBrush(QColor(240, 160, 40));
    p.drawPath(funnel);
    return pm;
}

QIcon windowIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(windowPixmap(size));
    return icon;
}

} // namespace Icons
