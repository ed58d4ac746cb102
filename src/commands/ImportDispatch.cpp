#include "ImportDispatch.h"

namespace movigram {

ImportedFile importFile(const std::string& path, Host& host, const LiveView& live, const QuantizeOptions& quantize) {
    ImportOptions options;
    options.host = &host;
    options.progress = &host;
    options.paint = live.paint;
    options.preview = live.preview;
    options.quantize = quantize;
    ImportedFile file = readImageFile(path, options);
    if (file.caption.empty()) file.caption = "File error";
    return file;
}

}  // namespace movigram
