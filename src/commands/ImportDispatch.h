#pragma once
// Reading one file of a batch with the reader its extension names.
#include <memory>
#include <string>

#include "document/FrameChain.h"
#include "document/Host.h"

namespace movigram {

struct ImportResult {
    // A multi-frame source (GIF, video) gives a chain; a still image one
    // 8-bit image; an unknown extension nothing.
    bool isChain = false;
    bool isGif = false;
    FrameChain frames;
    std::unique_ptr<TDib256> image;
    bool loopFound = false;
    int32_t loopCount = 0;
    // A text file: its bytes become a comment frame.
    bool isText = false;
    std::string text;
    // The message for a failure, empty when there is none to show.
    std::string caption;
    std::string message;
};

ImportResult importFile(const std::string& path, Host& host);

}  // namespace movigram
