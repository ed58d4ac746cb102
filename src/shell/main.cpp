// movigram: the GIF animation editor.  movigram [FILE]
#include "TBmpViewApp.h"

int main(int argc, char** argv) {
    movigram::TBmpViewApp app(argc, argv);
    return app.run();
}
