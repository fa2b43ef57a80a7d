#pragma once

class QPainter;

namespace veq {

// A component that keeps texts in cached images (so that a repaint is a blit) paints what those
// images hold again, uncached and where the images go, in its own coordinates; a text it hides by
// painting over it (an opaque shape with a text of its own) is left out, as it does not show.
// Whoever must know which texts a screen shows and where (a layout check reads the text items a
// painter is handed) sees nothing inside an image otherwise.
class CachedTexts {
public:
    virtual void paintCachedTexts(QPainter& painter) const = 0;

protected:
    ~CachedTexts() = default;
};

} // namespace veq
