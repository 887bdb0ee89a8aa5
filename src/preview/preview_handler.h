// The COM object the shell's preview host asks to show one document in the
// preview pane (Windows only). The format is the loader bound at creation.
//
// Initialize (IInitializeWithStream) reads the stored picture at once, keeps
// it at the pane's order of size (KeepPreviewPicture) and lets go of the
// stream before it returns: the file is never held open. SetWindow and
// SetRect give the parent and the pane's rectangle in device pixels, which
// is trusted over the parent's client area. DoPreview makes one child window
// of the parent covering the rectangle, painted with RenderPreviewPicture's
// pixels over the background colour (IPreviewHandlerVisuals; the system's
// window colour until set); a new rectangle or colour repaints it. A
// document without a stored picture is initialised, but DoPreview fails, so
// the shell shows its own message. Unload destroys the window and frees the
// picture; Initialize may follow. Keys go to the site's
// IPreviewHandlerFrame when it has one. No method lets an exception out.
#pragma once

#include "platform/com.h"
#include "provider/loader.h"

// Creates a handler with one reference for the caller, asked for `riid`.
// E_OUTOFMEMORY, or the QueryInterface result (the object is then gone).
HRESULT CreatePreviewHandler(Loader loader, REFIID riid, void** object) noexcept;
