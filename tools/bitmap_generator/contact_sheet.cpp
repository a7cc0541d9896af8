#include "contact_sheet.h"

#include <cstring>
#include <string>

namespace {

const Rgba Paper = {248, 248, 248, 255};
const Rgba Ink = {40, 40, 48, 255};
const Rgba CheckLight = {255, 255, 255, 255};
const Rgba CheckDark = {204, 204, 204, 255};
const Rgba Rule = {216, 216, 222, 255};

// A 5 x 7 font for the labels; '#' marks ink.
struct Glyph {
    char c;
    const char* rows[7];
};

const Glyph Font[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
};

constexpr int TextScale = 2;
constexpr int CharAdvance = 6 * TextScale;
constexpr int LineHeight = 10 * TextScale;

void FillRect(Image& sheet, int left, int top, int width, int height, Rgba color)
{
    for (int y = top; y < top + height; ++y) {
        for (int x = left; x < left + width; ++x) {
            sheet.at(x, y) = color;
        }
    }
}

void DrawText(Image& sheet, int left, int top, const std::string& text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        for (const Glyph& glyph : Font) {
            if (glyph.c != text[i]) {
                continue;
            }
            for (int y = 0; y < 7; ++y) {
                for (int x = 0; x < 5; ++x) {
                    if (glyph.rows[y][x] == '#') {
                        FillRect(sheet, left + static_cast<int>(i) * CharAdvance + x * TextScale, top + y * TextScale,
                                 TextScale, TextScale, Ink);
                    }
                }
            }
        }
    }
}

// Transparent pixels let the checkerboard (or the paper) through.
void DrawImage(Image& sheet, int left, int top, const Image& image, int zoom, bool checkerboard)
{
    for (int y = 0; y < image.height * zoom; ++y) {
        for (int x = 0; x < image.width * zoom; ++x) {
            Rgba p = image.at(x / zoom, y / zoom);
            if (p.a == 0) {
                bool dark = ((x / 4) + (y / 4)) % 2 == 1;
                p = !checkerboard ? Paper : (dark ? CheckDark : CheckLight);
            }
            sheet.at(left + x, top + y) = p;
        }
    }
}

struct SheetRow {
    int size;
    int bitsPerPixel;
    const char* label[2];
};

const SheetRow SheetRows[] = {
    {16, 4, {"16 PX", "4 BIT"}}, {16, 8, {"16 PX", "8 BIT"}}, {16, 32, {"16 PX", "32 BIT"}},
    {24, 4, {"24 PX", "4 BIT"}}, {24, 8, {"24 PX", "8 BIT"}}, {24, 32, {"24 PX", "32 BIT"}},
};

const struct {
    ButtonState state;
    const char* label;
} Columns[] = {{ButtonState::Normal, "NORMAL"}, {ButtonState::Disabled, "DISABLED"}, {ButtonState::Hot, "HOT"}};

constexpr int Margin = 16;
constexpr int LabelWidth = 7 * CharAdvance + Margin;
constexpr int CellWidth = 24 * SheetZoom + 12 + 24 + 28;
constexpr int HeaderHeight = LineHeight + 8;

int RowHeight(const SheetRow& row)
{
    return row.size * SheetZoom + 8 + LineHeight + 12;
}

const ToolbarBitmap* Find(const std::vector<ToolbarBitmap>& bitmaps, const SheetRow& row, ButtonState state)
{
    for (const ToolbarBitmap& b : bitmaps) {
        const bool inState = b.state == state || (b.state == ButtonState::AnyState && state == ButtonState::Normal);
        if (b.size == row.size && b.bitsPerPixel == row.bitsPerPixel && inState) {
            return &b;
        }
    }
    return nullptr;
}

void DrawCell(Image& sheet, int left, int top, const ToolbarBitmap& bitmap)
{
    Image shown = DisplayImage(bitmap);
    DrawImage(sheet, left, top, shown, SheetZoom, true);
    DrawImage(sheet, left + bitmap.size * SheetZoom + 12, top, shown, 1, false);
    std::string label = std::to_string(bitmap.id);
    if (bitmap.bitsPerPixel == 4) {
        label += " ALL STATES";
    }
    DrawText(sheet, left, top + bitmap.size * SheetZoom + 8, label);
}

}  // namespace

Image DrawContactSheet(const std::vector<ToolbarBitmap>& bitmaps)
{
    int height = Margin + HeaderHeight;
    for (const SheetRow& row : SheetRows) {
        height += RowHeight(row);
    }
    height += Margin;
    const int width = Margin + LabelWidth + 3 * CellWidth;
    Image sheet(width, height, Paper);

    for (int c = 0; c < 3; ++c) {
        DrawText(sheet, Margin + LabelWidth + c * CellWidth, Margin, Columns[c].label);
    }
    int top = Margin + HeaderHeight;
    for (const SheetRow& row : SheetRows) {
        FillRect(sheet, Margin, top - 6, width - 2 * Margin, 1, Rule);
        DrawText(sheet, Margin, top, row.label[0]);
        DrawText(sheet, Margin, top + LineHeight, row.label[1]);
        for (int c = 0; c < 3; ++c) {
            if (const ToolbarBitmap* bitmap = Find(bitmaps, row, Columns[c].state)) {
                DrawCell(sheet, Margin + LabelWidth + c * CellWidth, top, *bitmap);
            }
        }
        top += RowHeight(row);
    }
    return sheet;
}
