#include "recording_reader.h"

#include <fstream>
#include <sstream>

namespace recording {
namespace {

std::string TakeBytes(std::istream& in, size_t size) {
    std::string bytes(size, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    in.get();  // the newline after the bytes
    return bytes;
}

}  // namespace

std::vector<Call> ReadRecording(const std::string& path) {
    std::vector<Call> calls;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "call") {
            Call c;
            size_t size = 0;
            words >> c.entry >> c.version >> size;
            c.block = TakeBytes(in, size);
            calls.push_back(std::move(c));
            continue;
        }
        if (calls.empty()) break;
        Call& c = calls.back();
        if (kind == "text" || kind == "table") {
            std::string field;
            size_t size = 0;
            words >> field >> size;
            std::string bytes = TakeBytes(in, size);
            if (kind == "text")
                c.texts[field] = bytes;
            else
                c.tables[field] = bytes;
        } else if (kind == "null") {
            std::string field;
            words >> field;
            c.texts[field] = std::nullopt;
        } else if (kind == "callback") {
            CallbackRecordSeen r;
            size_t size = 0;
            words >> r.result >> r.action >> r.number1 >> r.number2 >> size;
            r.text = TakeBytes(in, size);
            c.callbacks.push_back(std::move(r));
        }
    }
    return calls;
}

}  // namespace recording
