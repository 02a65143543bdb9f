// The glue modes that work on whole colours in HSL, in the corrected lightness or
// in the chroma plane. Each takes the pattern colour p, the image colour d and the
// path's full scale (255 or 32768); colours become 0..1 by multiplying with the
// single-precision reciprocal of the scale, and each result component c comes back
// as trunc(full * c). Used by Glue.cpp only.
#pragma once

#include <cstdint>

#include "store/Glue.h"

namespace GlueModes {

GlueColour Color(GlueColour p, GlueColour d, int32_t full);       // 15: pattern hue and saturation, image luma
GlueColour Luminance(GlueColour p, GlueColour d, int32_t full);   // 16: image hue and saturation, pattern luma
GlueColour Saturation(GlueColour p, GlueColour d, int32_t full);  // 22: pattern saturation
GlueColour Hue(GlueColour p, GlueColour d, int32_t full);         // 23: pattern hue
GlueColour Wax(GlueColour p, GlueColour d, int32_t full);         // 46: saturated pattern mid-tones cover
GlueColour Wane(GlueColour p, GlueColour d, int32_t full);        // 47: grey pattern mid-tones cover
GlueColour Frontal(GlueColour p, GlueColour d, int32_t full);     // 53: mix in the chroma plane
GlueColour Sinister(GlueColour p, GlueColour d, int32_t full);    // 59: pattern colour, lightness ratio
GlueColour Anterior(GlueColour p, GlueColour d, int32_t full);    // 60: lightness product, pattern colour
GlueColour Posterior(GlueColour p, GlueColour d, int32_t full);   // 61: lightness product, image colour

}  // namespace GlueModes
