// The windows' side of the text display view: a read-only, vertically scrolling viewer of a
// text that lives in a stream and can grow while it is shown (a log), installed into an ordinary
// window. The view is an extension record of the window (code "Text") whose event handler runs
// in front of the window's own: it draws the content, follows the window's size, scrolls by whole
// lines with the window's vertical scroll bar and the scroll wheel, and frees the view with the
// window. The window's panel keeps its vertical origin at 0: the view moves its lines itself and
// drives the vertical bar (the horizontal axis stays the panel's).
#pragma once

#include <cstdint>

#include "foundation/types.h"

namespace plexa {

struct VXWindowRecordTag;
struct VXEventRecord;
struct StreamRecord;
struct TextDisplayRecord;

// Installs the view's hooks into the engine (at launch, after the windows and panels; tests too).
void VXInstallTextViewHooks();

// Attaches a view over the stream (kept by the caller, which must outlive the window's view) to
// the window: the document is `width` wide, the text in UI font `fontKind`. Nothing happens when
// memory runs out or when the window has a view already.
void InstallTextDisplayView(VXWindowRecordTag* window, int32_t width, int32_t fontKind,
                            StreamRecord* stream);
// The window's view, or none.
TextDisplayRecord* VXGetTextDisplayView(VXWindowRecordTag* window);
// Writes the bytes at the stream's end and takes the new lines in; with reveal the last line is
// brought into view. The stream's error, or -50 when the window has no view.
OSStatus AppendTextDisplayData(VXWindowRecordTag* window, const void* bytes, int32_t count,
                               bool reveal);
void VXSetTextViewFontKind(VXWindowRecordTag* window, int32_t fontKind);
// Recomputes everything but the stream (marks cleared, metrics, line starts, scroll bar).
void VXRecalcTextView(VXWindowRecordTag* window);
// The view's tab width, or the width of "WWWW" in the window's style (also without a view).
int32_t VXGetTextDisplayViewTabWidth(VXWindowRecordTag* window);
// The event handler installed in front of the window's own procedure.
int32_t TextDispalyEventHandler(VXWindowRecordTag* window, VXEventRecord* event);

}  // namespace plexa
