#include "ImportDispatch.h"

#include <algorithm>

#include "document/GifReader.h"

namespace movigram {

namespace {
std::string lowerExtensionOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}
}  // namespace

ImportResult importFile(const std::string& path, Host& host) {
    ImportResult result;
    const std::string ext = lowerExtensionOf(path);
    if (ext == ".gif") {
        GifReadOptions options;
        options.progress = [&host](int percent) { host.setProgress(percent); };
        GifReadOutput gif = readGif(path, options);
        result.isChain = result.isGif = true;
        result.frames = std::move(gif.frames);
        result.loopFound = gif.loopFound;
        result.loopCount = gif.loopCount;
        result.message = gifResultMessage(gif.result, baseNameOf(path));
    }
    return result;
}

}  // namespace movigram
