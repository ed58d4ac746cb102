#include "OptionCommands.h"

#include "document/EditScope.h"
#include "document/Undo.h"

namespace movigram {

namespace {

void optimisationToggled(Document& doc, bool& option) {
    option = !option;
    doc.optimizable = true;
}

}  // namespace

bool applyOption(Document& doc, CommandId id) {
    switch (id) {
    case CommandId::Loop: {
        // An edit of the chain: playback stops before it is relinked, and
        // the document is marked and relinked when the scope closes.
        EditScope edit(doc, nullptr);
        doc.loopOption = !doc.loopOption;
        break;
    }
    case CommandId::CropToDirty: optimisationToggled(doc, doc.cropToDirty); break;
    case CommandId::SplitDirty: optimisationToggled(doc, doc.splitDirty); break;
    case CommandId::TransparentMask: optimisationToggled(doc, doc.transparentMaskOption); break;
    case CommandId::OptimizeColors: optimisationToggled(doc, doc.optimizeColors); break;
    case CommandId::OptimizeOnSave: optimisationToggled(doc, doc.optimizeOnSave); break;
    case CommandId::MaxCompression: optimisationToggled(doc, doc.maxCompression); break;
    case CommandId::QuantizeMedianCut: doc.quantize.quantizer = Quantizer::MedianCut; break;
    case CommandId::QuantizeHighQuality: doc.quantize.quantizer = Quantizer::HighQuality; break;
    case CommandId::DitherNone: doc.quantize.dither = DitherMethod::None; break;
    case CommandId::DitherOrdered: doc.quantize.dither = DitherMethod::Ordered; break;
    case CommandId::DitherDiffusion: doc.quantize.dither = DitherMethod::Diffusion; break;
    case CommandId::CommentFrame: doc.commentFrameOption = !doc.commentFrameOption; break;
    case CommandId::LocalMerge: doc.localPaletteMode = LocalPaletteMode::Merge; break;
    case CommandId::LocalKeep: doc.localPaletteMode = LocalPaletteMode::Keep; break;
    case CommandId::LocalCreate: doc.localPaletteMode = LocalPaletteMode::Create; break;
    case CommandId::GlobalCumulative: doc.globalPaletteMode = GlobalPaletteMode::Cumulative; break;
    case CommandId::GlobalOptimized: doc.globalPaletteMode = GlobalPaletteMode::Optimized; break;
    case CommandId::GlobalAutomatic: doc.globalPaletteMode = GlobalPaletteMode::Automatic; break;
    case CommandId::EnableUndo:
        doc.setUndoEnabled(!doc.undo.enabled());
        break;
    default: return false;
    }
    doc.optionsEdited();
    return true;
}

}  // namespace movigram
