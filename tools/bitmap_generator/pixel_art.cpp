#include "pixel_art.h"

namespace {

// Tiles: the motif on a pale-blue tile in a blue frame, with transparent
// corners. 16 pixels: the ampersand and the number sign are seven rows tall
// with single-pixel strokes; below them a block arrow and the U.
// clang-format off
const char* const SmallTileRows[] = {
    " FFFFFFFFFFFFFF ",
    "F..RR.....R.R..F",
    "F.R..R....R.R..F",
    "F.R.R....RRRRR.F",
    "F..R......R.R..F",
    "F.R.R.R..RRRRR.F",
    "F.R..R....R.R..F",
    "F..RR.R...R.R..F",
    "F..............F",
    "F....G...B...B.F",
    "F.GGGGG..B...B.F",
    "F.GGGGGG.B...B.F",
    "F.GGGGG..B...B.F",
    "F....G...bBBBb.F",
    "F..............F",
    " FFFFFFFFFFFFFF ",
};
// clang-format on

// 24 pixels: double strokes, the number sign slanted, soft pixels on the
// curves of the ampersand and the U.
// clang-format off
const char* const LargeTileRows[] = {
    " FFFFFFFFFFFFFFFFFFFFFF ",
    "F......................F",
    "F...rRRr...............F",
    "F..RR..RR.......RR..RR.F",
    "F..RR..RR.......RR..RR.F",
    "F..rRRRr.....RRRRRRRRR.F",
    "F..RRRR...RR...RR..RR..F",
    "F.RR.rRR..RR...RR..RR..F",
    "F.RR..rRRRR..RRRRRRRRR.F",
    "F.RR...rRRr...RR..RR...F",
    "F.rRR..rRRRr..RR..RR...F",
    "F..rRRRRr.rR...........F",
    "F......................F",
    "F......................F",
    "F.............BB....BB.F",
    "F.......G.....BB....BB.F",
    "F.......GG....BB....BB.F",
    "F.GGGGGGGGG...BB....BB.F",
    "F.GGGGGGGGGG..BB....BB.F",
    "F.GGGGGGGGG...BB....BB.F",
    "F.......GG....bBB..BBb.F",
    "F.......G......bBBBBb..F",
    "F......................F",
    " FFFFFFFFFFFFFFFFFFFFFF ",
};
// clang-format on

// 16 colours: the motif alone on light grey, each stroke shaded on its right
// by the dark colour of its hue; the arrow points down and to the right.
// clang-format off
const char* const SmallFlatRows[] = {
    "................",
    "..RRr.....RrRr..",
    ".Rr.Rr...RRRRRr.",
    ".RrRr.....RrRr..",
    "..Rr.....RRRRRr.",
    ".RrRrRr...RrRr..",
    ".Rr.Rr....RrRr..",
    "..RRrRr.........",
    "................",
    ".GGg.....Bb..Bb.",
    ".GGGg....Bb..Bb.",
    "..GGGgGg.Bb..Bb.",
    "...GGGGg.Bb..Bb.",
    "....GGGg.Bb..Bb.",
    "...GGGGg..BBBb..",
    "................",
};
// clang-format on

// clang-format off
const char* const LargeFlatRows[] = {
    "........................",
    "....RRr.................",
    "..RRr.RRr......RRr.RRr..",
    "..RRr.RRr......RRr.RRr..",
    "...RRRr.....RRRRRRRRRr..",
    "..RRRRr..RRr..RRr.RRr...",
    ".RRr.RRr.RRr..RRr.RRr...",
    ".RRr..RRRRr.RRRRRRRRRr..",
    ".RRr...RRr...RRr.RRr....",
    "..RRr..RRRr..RRr.RRr....",
    "...RRRRr..Rr............",
    "........................",
    "........................",
    "........................",
    ".GGg.........BBb...BBb..",
    ".GGGg........BBb...BBb..",
    "..GGGg.......BBb...BBb..",
    "...GGGg..Gg..BBb...BBb..",
    "....GGGgGGg..BBb...BBb..",
    ".....GGGGGg..BBb...BBb..",
    "......GGGGg...BBb.BBb...",
    ".....GGGGGg....BBBBb....",
    "....GGGGGGg.............",
    "........................",
};
// clang-format on

}  // namespace

const PixelArt SmallTileArt = {16, SmallTileRows};
const PixelArt LargeTileArt = {24, LargeTileRows};
const PixelArt SmallFlatArt = {16, SmallFlatRows};
const PixelArt LargeFlatArt = {24, LargeFlatRows};
