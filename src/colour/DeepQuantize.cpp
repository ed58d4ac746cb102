#include "DeepQuantize.h"

#include <new>
#include <vector>

#include "MedianCutQuant.h"
#include "PaletteDitherer.h"
#include "QualityQuant.h"

namespace movigram {

std::unique_ptr<TDib256> quantizeDeep(const DeepRows& rows, int colors, const QuantizeOptions& options) {
    try {
        if (options.quantizer == Quantizer::HighQuality) {
            QualityQuant quant(colors, rows, options);
            return quant.build() ? quant.makeImage() : nullptr;
        }
        MedianCutQuant quant(colors, rows.width, rows.height, rows.pixels, rows.bitsPerPixel);
        if (!quant.build()) return nullptr;
        std::unique_ptr<TDib256> image = quant.makeImage();
        if (options.dither == DitherMethod::None) return image;

        std::vector<PaletteEntry> palette;
        for (int i = 0; i < quant.colorCount(); ++i) {
            const RgbQuad& q = image->colors()[size_t(i)];
            palette.push_back({q.red, q.green, q.blue, 0});
        }
        PaletteDitherer ditherer(palette.data(), int(palette.size()), -1, options);
        ditherer.startPicture(int32_t(rows.width));
        std::vector<Rgb8> row(rows.width);
        for (uint32_t r = 0; r < rows.height; ++r) {
            rows.colors(r, row.data(), false);
            ditherer.mapRow(row.data(), nullptr, image->bits() + size_t(r) * size_t(image->stride()), 0, int32_t(r));
        }
        return image;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace movigram
