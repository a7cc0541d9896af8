#include "bench_texts.h"

#include <algorithm>
#include <iterator>
#include <random>
#include <string>

namespace {

// Prose without '&' or '\', so that only the escapes put in start a prefix.
// clang-format off
const char16_t* const Phrases[] = {
    u"日本語の文章を", u"ここに書きます。", u"中文的文本", u"也在这里。", u"Unicode ", u"escape ",
    u"「引用」", u"、", u"。", u"\r\n", u"decoder ", u"テキスト", u"编辑器", u"選択範囲", u" 2026 ",
    u"(note) ", u"変換", u"字符", u"- ", u"OK; ",
};
// clang-format on

// One escape naming a CJK unified ideograph: "&#" and 5 decimal digits and
// ";" in mode 0, "\u" and 4 lower-case hexadecimal digits in mode 1.
std::u16string Escape(std::int32_t mode, unsigned value)
{
    static const char16_t hex[] = u"0123456789abcdef";
    std::u16string out = mode == 0 ? u"&#" : u"\\u";
    if (mode == 0) {
        for (unsigned scale = 10000; scale != 0; scale /= 10)
            out += static_cast<char16_t>(u'0' + value / scale % 10);
        out += u';';
    } else {
        for (int shift = 12; shift >= 0; shift -= 4)
            out += hex[value >> shift & 15];
    }
    return out;
}

class TextBuilder {
public:
    explicit TextBuilder(std::size_t length) : length_(length) { text_.reserve(length + 1); }

    bool Full() const { return text_.size() == length_; }

    // Appends `piece` whole, or pads the rest of the text with '.' when it
    // does not fit, so that no escape is cut at the end.
    void AppendWhole(const std::u16string& piece)
    {
        if (text_.size() + piece.size() <= length_)
            text_ += piece;
        else
            text_.resize(length_, u'.');
    }

    // Appends up to `count` units of prose; prose may be cut anywhere.
    void AppendProse(std::size_t count, std::mt19937& random)
    {
        std::uniform_int_distribution<std::size_t> pick(0, std::size(Phrases) - 1);
        const std::size_t end = std::min(length_, text_.size() + count);
        while (text_.size() < end) {
            text_ += Phrases[pick(random)];
            if (text_.size() > end)
                text_.resize(end);
        }
    }

    std::vector<char16_t> Finish()
    {
        std::vector<char16_t> out(text_.begin(), text_.end());
        out.push_back(0);
        return out;
    }

private:
    std::size_t length_;
    std::u16string text_;
};

}  // namespace

std::vector<char16_t> MakeBenchText(std::int32_t mode, TextKind kind, std::size_t units)
{
    std::mt19937 random(static_cast<unsigned>(units) ^ static_cast<unsigned>(mode) << 4 ^ static_cast<unsigned>(kind));
    std::uniform_int_distribution<unsigned> ideograph(0x4E00, 0x9FA5);
    TextBuilder text(units - 1);
    const std::size_t escape_units = mode == 0 ? 8 : 6;
    // Sparse: prose runs averaging 99 escapes' worth of units, so that 1% of
    // the units are in escapes.
    std::uniform_int_distribution<std::size_t> run(escape_units * 99 / 2, escape_units * 99 * 3 / 2);
    while (!text.Full()) {
        switch (kind) {
        case TextKind::None:
            text.AppendProse(units, random);
            break;
        case TextKind::Sparse:
            text.AppendProse(run(random), random);
            text.AppendWhole(Escape(mode, ideograph(random)));
            break;
        case TextKind::Dense:
            text.AppendWhole(Escape(mode, ideograph(random)));
            break;
        }
    }
    return text.Finish();
}
