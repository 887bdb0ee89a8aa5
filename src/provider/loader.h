// A format loader: hands the document's stored thumbnail, read from the
// stream, to `sink`; true when the sink took all of it at its stored size.
#pragma once

#include "image/picture_sink.h"
#include "platform/com.h"

using Loader = bool (*)(oxan::PictureSink& sink, IStream* stream);
