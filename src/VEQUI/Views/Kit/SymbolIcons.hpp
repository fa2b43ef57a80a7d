#pragma once

#include <QColor>
#include <QPixmap>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

class QPainter;

namespace veq {

// Where icon themes are looked for: $XDG_DATA_HOME/icons (default ~/.local/share/icons), then
// <dir>/icons for each folder of $XDG_DATA_DIRS (default /usr/local/share:/usr/share). The
// offscreen platform would search only ":/icons", so the paths are always set explicitly.
QStringList iconThemeSearchPaths(const QString& xdgDataHome, const QString& xdgDataDirs, const QString& home);

// Sets those search paths from the environment and picks the Adwaita theme.
void configureIconTheme();

// The screens' icons. They are named with symbol names ("gearshape", "wifi"); the table in the
// VEQUI bundle ("SymbolIcons.json") maps each to an Adwaita icon, or lists it as drawn here.
// Every icon is drawn as a mask in the colour asked for: the theme's symbolic icons are dark
// grey, invisible on the dark background.
namespace SymbolIcons {

struct Table {
    std::map<std::string, std::string, std::less<>> theme; // symbol -> theme icon name
    std::set<std::string, std::less<>> drawn;              // symbols painted by drawSymbol()

    bool operator==(const Table&) const = default;
};

// The table of a JSON text; empty on any error.
Table decode(std::string_view json);
// The bundle's table, read once per process; empty when the file is missing or malformed.
const Table& table();

// The theme icon name of a symbol, when the table has one.
std::optional<QString> themeName(std::string_view symbol);

// Paints `symbol` centred in the largest square of `area`, in `tint`. A symbol the table does
// not know draws nothing.
void paint(QPainter& painter, const QRectF& area, std::string_view symbol, const QColor& tint);

// The same as a square pixmap of `size` device-independent pixels.
QPixmap pixmap(std::string_view symbol, const QColor& tint, int size, qreal devicePixelRatio = 1.0);

} // namespace SymbolIcons

} // namespace veq
