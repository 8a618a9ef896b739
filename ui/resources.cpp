#include "ui/resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>
#include <QUrl>


#ifndef ZELK_SOURCE_DIR
#define ZELK_SOURCE_DIR ""
#endif

QPixmap DrawApplicationIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);

    // A globe with its graticule...
    const QPointF centre(15.5, 15.0);
    const double radius = 13.5;
    QRadialGradient sea(QPointF(11.0, 10.0), 18.0);
    sea.setColorAt(0.0, QColor(120, 190, 255));
    sea.setColorAt(1.0, QColor(20, 70, 160));
    painter.setPen(QPen(QColor(10, 40, 100), 1.0));
    painter.setBrush(sea);
    painter.drawEllipse(centre, radius, radius);

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(255, 255, 255, 200), 1.0));
    painter.drawLine(QPointF(centre.x() - radius, centre.y()), QPointF(centre.x() + radius, centre.y()));
    painter.drawLine(QPointF(centre.x(), centre.y() - radius), QPointF(centre.x(), centre.y() + radius));
    painter.drawEllipse(centre, radius * 0.5, radius);
    QPainterPath parallels;
    parallels.moveTo(centre.x() - radius * 0.87, centre.y() - radius * 0.5);
    parallels.lineTo(centre.x() + radius * 0.87, centre.y() - radius * 0.5);
    parallels.moveTo(centre.x() - radius * 0.87, centre.y() + radius * 0.5);
    parallels.lineTo(centre.x() + radius * 0.87, centre.y() + radius * 0.5);
    painter.drawPath(parallels);

    // ...and a survey control point marker in front of it.
    QPainterPath marker;
    marker.moveTo(25.0, 17.0);
    marker.lineTo(31.0, 30.5);
    marker.lineTo(19.0, 30.5);
    marker.closeSubpath();
    QLinearGradient flame(QPointF(25.0, 17.0), QPointF(25.0, 30.5));
    flame.setColorAt(0.0, QColor(255, 200, 60));
    flame.setColorAt(1.0, QColor(230, 90, 20));
    painter.setPen(QPen(QColor(120, 40, 0), 1.0));
    painter.setBrush(flame);
    painter.drawPath(marker);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(120, 40, 0));
    painter.drawEllipse(QPointF(25.0, 26.0), 1.6, 1.6);
    painter.end();
    return pixmap;
}

QIcon LoadIconResource(int id) {
    if (id != kIdrMainFrame) return QIcon();
    static const QIcon icon = [] {
#ifdef ZELK_ICON_RESOURCE
        // The project's icon, the same picture as the desktop entry's.
        const QPixmap picture(QStringLiteral(ZELK_ICON_RESOURCE));
        if (!picture.isNull()) return QIcon(picture);
#endif
        return QIcon(DrawApplicationIcon());
    }();
    return icon;
}

std::optional<QString> LoadStringResource(int id) {
    switch (id) {
        case kIdsAboutEntry:
            return QStringLiteral("关于 ZELK(&A)...");
        default:
            return std::nullopt;
    }
}

namespace {
// The first of the documents that exists, as a file address; the first
// candidate's address when none does (opening it then fails audibly).
QString FirstExisting(const QStringList& candidates) {
    for (const QString& candidate : candidates) {
        const QFileInfo info(candidate);
        if (info.isFile()) return QUrl::fromLocalFile(info.absoluteFilePath()).toString();
    }
    return QUrl::fromLocalFile(QFileInfo(candidates.first()).absoluteFilePath()).toString();
}

QString InstalledDocs() {
    QString dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
    if (dir.isEmpty()) dir = QStringLiteral("/usr/bin");
    return QDir::cleanPath(dir + QStringLiteral("/../share/doc/zelk"));
}

QString SourceDir() { return QString::fromUtf8(ZELK_SOURCE_DIR); }
}  // namespace

QString AuthorPageAddress() {
    QStringList candidates{InstalledDocs() + QStringLiteral("/guide.md")};
    if (!SourceDir().isEmpty()) candidates << SourceDir() + QStringLiteral("/docs/guide.md");
    candidates << InstalledDocs() + QStringLiteral("/README.md");
    if (!SourceDir().isEmpty()) candidates << SourceDir() + QStringLiteral("/README.md");
    return FirstExisting(candidates);
}

QString SupportSiteAddress() {
    QStringList candidates{InstalledDocs() + QStringLiteral("/README.md")};
    if (!SourceDir().isEmpty()) candidates << SourceDir() + QStringLiteral("/README.md");
    return FirstExisting(candidates);
}

QString ApplicationDisplayName() { return QStringLiteral("ZELK 坐标转换"); }

QString CreditLine() {
    return QStringLiteral("ZELK 1.0  坐标转换与七参数解算    ZELK 开发组");
}
