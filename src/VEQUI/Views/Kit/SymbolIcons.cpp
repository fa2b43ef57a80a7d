#include "VEQUI/Views/Kit/SymbolIcons.hpp"

#include "VEQSupport/FileReading.hpp"
#include "VEQSupport/Resources.hpp"

#include <nlohmann/json.hpp>

#include <QDir>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPixmapCache>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace veq {

QStringList iconThemeSearchPaths(const QString& xdgDataHome, const QString& xdgDataDirs, const QString& home) {
    QStringList paths;
    const QString dataHome = xdgDataHome.isEmpty() ? home + QStringLiteral("/.local/share") : xdgDataHome;
    if (!dataHome.isEmpty()) paths << dataHome + QStringLiteral("/icons");
    const QString dataDirs = xdgDataDirs.isEmpty() ? QStringLiteral("/usr/local/share:/usr/share") : xdgDataDirs;
    for (const QString& dir : dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        paths << dir + QStringLiteral("/icons");
    }
    paths.removeDuplicates();
    return paths;
}

void configureIconTheme() {
    QIcon::setThemeSearchPaths(iconThemeSearchPaths(qEnvironmentVariable("XDG_DATA_HOME"),
                                                    qEnvironmentVariable("XDG_DATA_DIRS"), QDir::homePath()));
    QIcon::setThemeName(QStringLiteral("Adwaita"));
}

namespace SymbolIcons {

namespace {

// The icon table is small; anything larger is not ours.
constexpr std::size_t kMaxTableBytes = 256 * 1024;

void drawDottedCircle(QPainter& painter, const QRectF& box) {
    constexpr int kDots = 10;
    const QPointF centre = box.center();
    const double radius = box.width() * 0.40;
    const double dot = box.width() * 0.075;
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < kDots; ++i) {
        const double angle = 2 * std::numbers::pi * i / kDots;
        painter.drawEllipse(centre + QPointF(radius * std::cos(angle), radius * std::sin(angle)), dot, dot);
    }
}

// A heartbeat trace: flat, one spike up and down, flat again.
void drawHeartbeat(QPainter& painter, const QRectF& box) {
    static constexpr std::array<QPointF, 8> kPoints{{
        {0.04, 0.55}, {0.28, 0.55}, {0.38, 0.30}, {0.50, 0.85}, {0.62, 0.12}, {0.72, 0.55}, {0.84, 0.55}, {0.96, 0.55},
    }};
    QPainterPath path;
    for (std::size_t i = 0; i < kPoints.size(); ++i) {
        const QPointF p(box.left() + kPoints[i].x() * box.width(), box.top() + kPoints[i].y() * box.height());
        if (i == 0) path.moveTo(p); else path.lineTo(p);
    }
    QPen pen(painter.brush().color(), std::max(1.0, box.width() * 0.09));
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

// A chip: a rounded square with a die inside and three pins on each side.
void drawChip(QPainter& painter, const QRectF& box) {
    const double side = box.width();
    const double line = std::max(1.0, side * 0.08);
    const QRectF body = box.adjusted(side * 0.22, side * 0.22, -side * 0.22, -side * 0.22);
    QPen pen(painter.brush().color(), line);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    const QBrush fill = painter.brush();
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(body, side * 0.06, side * 0.06);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRect(body.adjusted(side * 0.14, side * 0.14, -side * 0.14, -side * 0.14));
    painter.setPen(pen);
    for (int i = 1; i <= 3; ++i) {
        const double at = body.left() + body.width() * i / 4.0;
        const double across = body.top() + body.height() * i / 4.0;
        painter.drawLine(QPointF(at, box.top() + side * 0.08), QPointF(at, body.top()));
        painter.drawLine(QPointF(at, body.bottom()), QPointF(at, box.bottom() - side * 0.08));
        painter.drawLine(QPointF(box.left() + side * 0.08, across), QPointF(body.left(), across));
        painter.drawLine(QPointF(body.right(), across), QPointF(box.right() - side * 0.08, across));
    }
}

// Filled shapes in a unit square (y down), stretched over the box when drawn.

QPainterPath stroked(const QPainterPath& path, double width) {
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(path);
}

QPainterPath line(QPointF from, QPointF to, double width) {
    QPainterPath path(from);
    path.lineTo(to);
    return stroked(path, width);
}

QPainterPath triangleUp() {
    QPainterPath path(QPointF(0.5, 0.12));
    path.lineTo(0.94, 0.88);
    path.lineTo(0.06, 0.88);
    path.closeSubpath();
    return path.united(stroked(path, 0.08)); // rounded corners
}

QPainterPath thermometer() {
    QPainterPath path;
    path.addRoundedRect(QRectF(0.36, 0.04, 0.2, 0.66), 0.1, 0.1);
    path.addEllipse(QPointF(0.46, 0.76), 0.2, 0.2);
    path = path.simplified();
    for (const double y : {0.16, 0.3, 0.44}) path = path.united(line({0.68, y}, {0.88, y}, 0.08));
    return path;
}

QPainterPath drop() {
    QPainterPath path(QPointF(0.5, 0.04));
    path.cubicTo(0.5, 0.04, 0.2, 0.4, 0.2, 0.64);
    path.arcTo(QRectF(0.2, 0.34, 0.6, 0.6), 180, 180);
    path.cubicTo(0.8, 0.4, 0.5, 0.04, 0.5, 0.04);
    path.closeSubpath();
    return path;
}

QPainterPath batteryBlock() {
    QPainterPath body;
    body.addRoundedRect(QRectF(0.04, 0.3, 0.92, 0.58), 0.08, 0.08);
    body.addRect(QRectF(0.16, 0.18, 0.18, 0.14));
    body.addRect(QRectF(0.66, 0.18, 0.18, 0.14));
    body = body.simplified();
    QPainterPath signs;
    signs.addRect(QRectF(0.16, 0.56, 0.2, 0.07));        // minus
    signs.addRect(QRectF(0.64, 0.56, 0.2, 0.07));        // plus, across
    signs.addRect(QRectF(0.705, 0.495, 0.07, 0.2));      // plus, down
    return body.subtracted(signs.simplified());
}

QPainterPath roadLanes() {
    QPainterPath path = line({0.32, 0.06}, {0.1, 0.94}, 0.09);
    path = path.united(line({0.68, 0.06}, {0.9, 0.94}, 0.09));
    for (const auto& [top, bottom] : std::array<std::pair<double, double>, 3>{{{0.08, 0.24}, {0.4, 0.58}, {0.74, 0.94}}}) {
        path = path.united(line({0.5, top}, {0.5, bottom}, 0.08));
    }
    return path;
}

QPainterPath fuelPump() {
    QPainterPath body;
    body.addRoundedRect(QRectF(0.1, 0.08, 0.5, 0.86), 0.06, 0.06);
    QPainterPath window;
    window.addRect(QRectF(0.19, 0.18, 0.32, 0.22));
    QPainterPath hose(QPointF(0.6, 0.3));
    hose.lineTo(0.82, 0.42);
    hose.lineTo(0.82, 0.76);
    hose.quadTo(0.82, 0.84, 0.74, 0.84);
    hose.lineTo(0.68, 0.84);
    return body.subtracted(window).united(stroked(hose, 0.07));
}

QPainterPath brakeSignal() {
    QPainterPath ring;
    ring.addEllipse(QPointF(0.5, 0.5), 0.27, 0.27);
    QPainterPath path = stroked(ring, 0.08);
    QPainterPath left;
    left.arcMoveTo(QRectF(0.06, 0.06, 0.88, 0.88), 130);
    left.arcTo(QRectF(0.06, 0.06, 0.88, 0.88), 130, 100);
    QPainterPath right;
    right.arcMoveTo(QRectF(0.06, 0.06, 0.88, 0.88), -50);
    right.arcTo(QRectF(0.06, 0.06, 0.88, 0.88), -50, 100);
    path = path.united(stroked(left, 0.07)).united(stroked(right, 0.07));
    path.addRect(QRectF(0.465, 0.33, 0.07, 0.22));
    path.addEllipse(QPointF(0.5, 0.64), 0.045, 0.045);
    return path.simplified();
}

QPainterPath oilCan() {
    QPainterPath path;
    path.addRoundedRect(QRectF(0.08, 0.46, 0.6, 0.38), 0.05, 0.05);
    path.addRect(QRectF(0.26, 0.36, 0.16, 0.12));
    path = path.simplified().united(line({0.66, 0.56}, {0.94, 0.4}, 0.08));
    path.addEllipse(QPointF(0.9, 0.66), 0.06, 0.06);
    return path.simplified();
}

// The no-entry sign: a disc with a bar across.
QPainterPath noEntry() {
    QPainterPath disc;
    disc.addEllipse(QPointF(0.5, 0.5), 0.46, 0.46);
    QPainterPath bar;
    bar.addRoundedRect(QRectF(0.2, 0.41, 0.6, 0.18), 0.03, 0.03);
    return disc.subtracted(bar);
}

struct FilledShape {
    std::string_view symbol;
    QPainterPath (*shape)();
};

// clang-format off
const std::array<FilledShape, 10> filledShapes{{
    // symbol                           shape
    {"arrowtriangle.up.fill",           triangleUp},
    {"brake.signal",                    brakeSignal},
    {"drop.fill",                       drop},
    {"drop.triangle.fill",              drop},
    {"fuelpump.fill",                   fuelPump},
    {"minus.circle.fill",               noEntry},
    {"minus.plus.batteryblock.fill",    batteryBlock},
    {"oilcan.fill",                     oilCan},
    {"road.lanes",                      roadLanes},
    {"thermometer.high",                thermometer},
}};
// clang-format on

bool drawFilledShape(QPainter& painter, const QRectF& box, std::string_view symbol) {
    const auto it = std::find_if(filledShapes.begin(), filledShapes.end(),
                                 [symbol](const FilledShape& s) { return s.symbol == symbol; });
    if (it == filledShapes.end()) return false;
    QTransform toBox;
    toBox.translate(box.left(), box.top());
    toBox.scale(box.width(), box.height());
    painter.fillPath(toBox.map(it->shape()), painter.brush());
    return true;
}

void drawSymbol(QPainter& painter, const QRectF& box, std::string_view symbol, const QColor& tint) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(tint);
    if (symbol == "circle.dotted") drawDottedCircle(painter, box);
    else if (symbol == "waveform.path.ecg") drawHeartbeat(painter, box);
    else if (symbol == "cpu") drawChip(painter, box);
    else drawFilledShape(painter, box, symbol);
    painter.restore();
}

QRectF centredSquare(const QRectF& area) {
    const double side = std::min(area.width(), area.height());
    return {area.center().x() - side / 2, area.center().y() - side / 2, side, side};
}

} // namespace

Table decode(std::string_view json) {
    try {
        const auto document = nlohmann::json::parse(json);
        Table table;
        for (const auto& [symbol, name] : document.at("theme").items()) table.theme.emplace(symbol, name.get<std::string>());
        for (const auto& symbol : document.at("drawn")) table.drawn.insert(symbol.get<std::string>());
        return table;
    } catch (const std::exception&) {
        return {};
    }
}

const Table& table() {
    static const Table loaded = [] {
        const auto file = resources::bundleResource("VEQUI", "SymbolIcons", "json");
        const auto text = file ? readWholeFileIfReadable(*file, kMaxTableBytes) : std::nullopt;
        return text ? decode(*text) : Table{};
    }();
    return loaded;
}

std::optional<QString> themeName(std::string_view symbol) {
    const auto& names = table().theme;
    const auto found = names.find(symbol);
    if (found == names.end()) return std::nullopt;
    return QString::fromStdString(found->second);
}

QPixmap pixmap(std::string_view symbol, const QColor& tint, int size, qreal devicePixelRatio) {
    const int pixels = std::max(1, static_cast<int>(std::lround(size * devicePixelRatio)));
    const QString key = QStringLiteral("veq-symbol:%1:%2:%3").arg(QString::fromUtf8(symbol.data(), static_cast<qsizetype>(symbol.size())),
                                                                  tint.name(QColor::HexArgb))
                            .arg(pixels);
    QPixmap cached;
    if (QPixmapCache::find(key, &cached)) {
        cached.setDevicePixelRatio(devicePixelRatio);
        return cached;
    }

    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (const auto name = themeName(symbol)) {
        const QIcon icon = QIcon::fromTheme(*name);
        const QPixmap drawn = icon.pixmap(QSize(pixels, pixels));
        if (!drawn.isNull()) {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawPixmap(QRect(0, 0, pixels, pixels), drawn);
            painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
            painter.fillRect(image.rect(), tint);
        }
    } else if (table().drawn.contains(symbol)) {
        QPainter painter(&image);
        drawSymbol(painter, QRectF(0, 0, pixels, pixels), symbol, tint);
    }
    QPixmap result = QPixmap::fromImage(std::move(image));
    QPixmapCache::insert(key, result);
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}

void paint(QPainter& painter, const QRectF& area, std::string_view symbol, const QColor& tint) {
    const QRectF box = centredSquare(area);
    if (box.width() <= 0) return;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QPixmap image = pixmap(symbol, tint, static_cast<int>(std::ceil(box.width())), ratio);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(box, image, QRectF(QPointF(0, 0), QSizeF(image.size())));
    painter.restore();
}

} // namespace SymbolIcons

} // namespace veq
