#include "view/NoteKindCells.h"

#include <cmath>

namespace view {

namespace {

constexpr int kCell = 16;
constexpr int kFirstColourRow = 1;
constexpr int kHoldBodyRow = 10;
constexpr int kHoldTailRow = 11;
constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kBlack = 0xFF000000;
// res/make_images.py's HOLD.
constexpr QRgb kHoldFill = 0xFFB0F080;
constexpr QRgb kRollFill = 0xFFFFD870;
constexpr QRgb kRollChevron = 0xFFE06000;
constexpr QRgb kMineCore = 0xFF383838;
constexpr QRgb kMineRing = 0xFFFF3800;
constexpr QRgb kMineSpark = 0xFFFF9090;

QRgb Pixel(const QImage& image, int x, int y) {
    return image.pixel(x, y) | kBlack;
}

// Two thirds of the way to white, so that an AND into the lane leaves a
// pale arrow that beat lines still cross.
QRgb Faded(QRgb c) {
    const auto fade = [](int v) { return v + (255 - v) * 2 / 3; };
    return qRgb(fade(qRed(c)), fade(qGreen(c)), fade(qBlue(c)));
}

void CopyCell(const QImage& from, int fromRow, QImage& to, int toRow, int column,
              const auto& recolour) {
    for (int y = 0; y < kCell; ++y) {
        for (int x = 0; x < kCell; ++x) {
            const int sx = column * kCell + x;
            const QRgb c = Pixel(from, sx, fromRow * kCell + y);
            to.setPixel(sx, toRow * kCell + y, recolour(c, x, y, sx, fromRow * kCell + y));
        }
    }
}

bool NextToOutline(const QImage& sheet, int x, int y) {
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const int nx = x + dx;
            const int ny = y + dy;
            if (nx >= 0 && ny >= 0 && nx < sheet.width() && ny < sheet.height() &&
                Pixel(sheet, nx, ny) == kBlack) {
                return true;
            }
        }
    }
    return false;
}

// Chevrons pointing down the lane, 8 rows apart so that the 16-row body
// repeats seamlessly.
QRgb Roll(int x, int y) {
    const int across = std::abs(2 * x - (kCell - 1)) / 2;
    return (y - across + kCell) % 8 < 3 ? kRollChevron : kRollFill;
}

QRgb Mine(int x, int y) {
    const double dx = x - (kCell - 1) / 2.0;
    const double dy = y - (kCell - 1) / 2.0;
    const double r = std::sqrt(dx * dx + dy * dy);
    if (r > 7.2) {
        return kWhite;
    }
    if (r > 6.2) {
        return kBlack;
    }
    if (r > 4.2) {
        return kMineRing;
    }
    // A spark off centre, so that the disc reads as a round body.
    return dx < -0.5 && dx > -2.5 && dy < -0.5 && dy > -2.5 ? kMineSpark : kMineCore;
}

} // namespace

QImage WithNoteKindCells(const QImage& sheet) {
    if (sheet.isNull()) {
        return sheet;
    }
    QImage out(sheet.width(), (kMineRow + 1) * kCell, QImage::Format_RGB32);
    out.fill(kWhite);
    for (int y = 0; y < sheet.height(); ++y) {
        for (int x = 0; x < sheet.width(); ++x) {
            out.setPixel(x, y, Pixel(sheet, x, y));
        }
    }
    const int columns = sheet.width() / kCell;
    for (int column = 0; column < columns; ++column) {
        for (int colour = 0; colour < kSheetColours; ++colour) {
            const int row = kFirstColourRow + colour;
            CopyCell(sheet, row, out, kLiftFirstRow + colour, column,
                     [&](QRgb c, int, int, int sx, int sy) {
                         return c == kBlack || c == kWhite || NextToOutline(sheet, sx, sy) ? c
                                                                                           : kWhite;
                     });
            CopyCell(sheet, row, out, kFakeFirstRow + colour, column,
                     [](QRgb c, int, int, int, int) { return Faded(c); });
        }
        const auto roll = [](QRgb c, int x, int y, int, int) {
            return c == kHoldFill ? Roll(x, y) : c;
        };
        CopyCell(sheet, kHoldBodyRow, out, kRollBodyRow, column, roll);
        CopyCell(sheet, kHoldTailRow, out, kRollTailRow, column, roll);
        CopyCell(sheet, 0, out, kMineRow, column,
                 [](QRgb, int x, int y, int, int) { return Mine(x, y); });
    }
    return out;
}

} // namespace view
