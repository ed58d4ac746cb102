#pragma once
// Reading one file of a batch with the reader its first bytes (or its
// extension) name, with the document's host for status text and progress.
#include <functional>
#include <string>

#include "document/Host.h"
#include "import/ImageReaders.h"

namespace movigram {

// What the editor shows while a file is read: each GIF or video frame as it
// is decoded, and a deep-colour image before it is reduced to 256 colours.
struct LiveView {
    std::function<void(const TFrame&)> paint;
    std::function<void(const TrueColorImage&)> preview;
};

// The file's contents; a failure carries the caption "File error" unless its
// reader names another, and a message only where the user is told.  Deep
// images and video become 8 bits by the quantiser and dithering given.
ImportedFile importFile(const std::string& path, Host& host, const LiveView& live = {},
                        const QuantizeOptions& quantize = {});

}  // namespace movigram
