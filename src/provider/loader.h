// A format loader: fills `image` from the document stream and answers true
// when the image holds the document's stored thumbnail at its stored size.
#pragma once

#include "image/image32.h"
#include "platform/com.h"

using Loader = bool (*)(oxan::CImage32& image, IStream* stream);
