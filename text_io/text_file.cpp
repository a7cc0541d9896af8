#include "text_file.h"

#include "file_io.h"

#include <cstring>
#include <vector>

namespace {

const std::size_t ReadBlockBytes = 1 << 20;

const char* const NoMemory = "not enough memory to read it";

bool ReadText(InputFile& input, EncodingChoice choice, LoadedText& text, std::string& error)
{
    std::vector<unsigned char> buffer(ReadBlockBytes + 4);
    if (!text.units.Reserve(input.SizeHint() + 1)) {  // never more units than bytes
        error = NoMemory;
        return false;
    }

    std::uint64_t offset = 0;  // of buffer[0] in the input
    std::size_t carried = 0;   // bytes of a sequence cut by the previous block
    for (bool first = true;; first = false) {
        std::size_t got = 0;
        if (!input.ReadFully(buffer.data() + carried, ReadBlockBytes, got, error)) {
            error = "read error at byte offset " + std::to_string(offset + carried + got) + ": " + error;
            return false;
        }
        const std::size_t count = carried + got;
        const bool atEnd = got < ReadBlockBytes;
        if (first && !DetectFormat(buffer.data(), count, choice, text.format, error))
            return false;
        const std::size_t start = first ? text.format.bomBytes : 0;
        char16_t* const room = text.units.Room(count - start);
        if (room == nullptr) {
            error = NoMemory;
            return false;
        }
        const ConvertStatus status =
            ConvertToUnits(text.format.encoding, buffer.data() + start, count - start, atEnd, room);
        text.units.Grow(status.units);
        if (status.error != ConvertError::None) {
            error = std::string(DescribeConvertError(status.error)) + " at byte offset " +
                    std::to_string(offset + start + status.errorIndex);
            return false;
        }
        const std::size_t used = start + status.consumed;
        carried = count - used;
        std::memmove(buffer.data(), buffer.data() + used, carried);
        offset += used;
        if (atEnd)
            break;
    }
    text.length = text.units.size();
    char16_t* const terminator = text.units.Room(1);
    if (terminator == nullptr) {
        error = NoMemory;
        return false;
    }
    *terminator = 0;
    return true;
}

}  // namespace

bool LoadText(const std::string& path, EncodingChoice choice, LoadedText& text, std::string& error)
{
    InputFile input;
    if (!input.Open(path, error)) {
        error = "cannot open: " + error;
        return false;
    }
    return ReadText(input, choice, text, error);
}
