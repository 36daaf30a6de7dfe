#pragma once

#include "document.h"

#include <QString>

namespace quiltana {

// Places pictures into consecutive cells from `start` on, never past the table.
class Placer {
public:
    Placer(Document &doc, int start) : doc_(doc), start_(start) {}

    void place(const QString &path)
    {
        Cell *cell = doc_.cellAt(start_ + placed_);
        if (!cell) {
            ++leftOut_;
            return;
        }
        cell->picturePath = path;
        cell->orientation = Turn::Upright;
        ++placed_;
    }
    [[nodiscard]] int placed() const { return placed_; }
    [[nodiscard]] int leftOut() const { return leftOut_; }

private:
    Document &doc_;
    int start_;
    int placed_ = 0;
    int leftOut_ = 0;
};

} // namespace quiltana
