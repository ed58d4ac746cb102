#include "ImportDispatch.h"

#include "import/ImageReaders.h"

namespace movigram {

ImportResult importFile(const std::string& path, Host& host) {
    ImportOptions options;
    options.host = &host;
    options.progress = [&host](int percent) { host.setProgress(percent); };
    options.paint = [&host](const TFrame& frame) { host.showReadFrame(frame); };
    ImportedFile file = readImageFile(path, options);
    ImportResult result;
    result.isChain = file.multiFrameSource();
    result.isGif = file.kind == ImportKind::Gif;
    result.frames = std::move(file.frames);
    result.image = std::move(file.image);
    result.loopFound = file.loopFound;
    result.loopCount = file.loopCount;
    result.isText = file.kind == ImportKind::Text;
    result.text = std::move(file.text);
    result.caption = file.caption.empty() ? "File error" : file.caption;
    result.message = std::move(file.message);
    return result;
}

}  // namespace movigram
