#include "CommentFrame.h"

namespace movigram {

std::string_view programComment() {
    return "Created with Movigram GIF V 1.22\r\n"
           "Movigram GIF Animator, a GIF animation editor for Linux.\r\n";
}

bool ensureCommentFrame(FrameList& list, bool loop) {
    if (list.count() <= 1) return false;
    if (const TFrame* first = list.frameAt(0); first->isComment) {
        const std::string text = static_cast<const TTextFrame*>(first)->getText();
        const std::string_view ours = programComment();
        const size_t marker = ours.find("GIF V") + 5;
        if (text.compare(0, marker, ours.substr(0, marker)) == 0) return false;
    }
    auto comment = std::make_unique<TTextFrame>(nullptr, programComment());
    std::string text = comment->name;
    list.insert(0, std::move(text), std::move(comment));
    threadFrames(list, loop);
    return true;
}

}  // namespace movigram
