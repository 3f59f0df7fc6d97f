// Scripted runs: a test starts the real program as a process of its own with the environment
// variable PLEXA_TEST_SCRIPT naming a script, and the platform plays it the way a person would
// work the program: keys and clicks reach the windows through the window system's own event path
// (shortcuts, focus, mouse grabs, popups and menu bars included), menus are opened from their
// window's menu bar, file panels take queued answers. Without the variable nothing changes.
//
// The script is text, one step a line; blank lines and lines starting with '#' are skipped. A
// step's words are separated by spaces; TITLE and TEXT arguments are the rest of the line. Window
// coordinates are those of the window's content (y downwards, below its menu bar). Unless a
// step names a window, it goes to the key window (a modal window when one is up).
//
//   wait-window TITLE          waits until a visible window has the title (a trailing '*'
//                              matches any ending)
//   wait-no-window TITLE       waits until no visible window has the title
//   wait-text TEXT             waits until a static text of a visible window shows TEXT as one of
//                              its lines
//   wait-drawn [TITLE]         waits until the window is visible and has been drawn on screen
//   wait-file PATH             waits until the file exists (one that the program writes, or that
//                              the test makes to let the script go on)
//   key KEYS                   a key pressed and released: "Ctrl+S", "F10", "Alt+F", "Return",
//                              "Escape", "Shift+Tab", "a"
//   type TEXT                  types the characters
//   click X Y [MODS...]        press and release; MODS among Shift Ctrl Alt Meta right middle
//                              double
//   drag X1 Y1 X2 Y2 [MODS...] press, moves, release; with the word "hold" among MODS the
//                              button stays down (the steps after it play during the drag)
//   release X Y [MODS...]      lets go of the button that a held drag keeps down, there
//   drag-in TITLE | X Y [MODS...]
//                              while a held drag keeps the button down, the pointer moves in
//                              steps to the point of the window with the title (its content's
//                              coordinates), in front or not: the events go on to the window the
//                              press went to, as the window system's grab of the pointer sends
//                              them, telling the point on screen
//   release-in TITLE | X Y [MODS...]
//                              lets go of the held button at the point of the window with the
//                              title
//   move X Y [MODS...]         the pointer moves there with no button held (MODS among Shift
//                              Ctrl Alt Meta)
//   wheel X Y LINES [MODS...]  a wheel turn of LINES lines (positive away from the user)
//   pinch X Y PERCENT          a touchpad pinch that grows (or, negative, shrinks) by PERCENT
//   menu MENU > ITEM [> ITEM]  opens MENU from the key window's menu bar and chooses the item
//                              (through sub-menus); a missing or disabled item fails the run
//   menu-in TITLE | MENU > ITEM [> ITEM]
//                              the same from the menu bar of the window with the title, in
//                              front or not
//   choose TEXT                chooses the item of the open popup menu
//   button TEXT                waits until a button with the text is up (front window first) and
//                              clicks it: the answer to an alert, a save question, a dialog
//   panel PATH [| PATH...]     the next file panel accepts the files (a save panel the first)
//   panel-cancel               the next file panel is cancelled
//   font-panel FAMILY          the next font panel chooses the family
//   font-panel-cancel          the next font panel is cancelled
//   color-panel RRGGBB         waits until the colour panel of a colour well is open and picks
//                              the colour (six hex digits) in it, as a person would there
//   print-panel PATH           print panels from now on print into the PDF file PATH
//   popup INDEX                the next popup menu run by the program answers with the item
//                              (from 0; -1 dismissed)
//   close [TITLE]              the window's close box
//   quit                       the application's quit request (as from the desktop)
//   screenshot FILE [TITLE]    the window with its menu bar, into a PNG file
//   screenshot-menu FILE MENU  the key window with its menu MENU open, into a PNG file
//   screenshot-menus PREFIX    the same for every menu of the key window's menu bar, each into
//                              PREFIX + the menu's title + ".png"; logs "screenshot FILE" each
//   screenshot-screen FILE     every visible window (popups included) where it lies on the
//                              screen, front ones over back ones, into a PNG file
//   log TEXT                   writes the text
//   log-windows                writes "windows: TITLE | TITLE ..." (visible, front to back)
//   log-owners                 writes "owner TITLE: OWNER" for each visible window that belongs
//                              to another ("owner TITLE: OWNER, modal" when it takes the owner's
//                              input), front to back
//   log-color-panel            writes "color panel open" or "color panel closed"
//   wait-tooltip               waits until a tooltip is shown and writes "tooltip TEXT"
//   log-tooltip                writes "tooltip TEXT" for the tooltip shown, or "tooltip none"
//   pause MS                   waits MS milliseconds, the program running meanwhile
//   log-menu MENU              writes "menu MENU" and one line an item: its text, "enabled" or
//                              "disabled", "checked" when checked ("-" a separator), sub-menus'
//                              items indented below theirs
//   log-menubar [TITLE]        writes "menubar: TITLE TITLE ..." (the window's menus; "menubar:"
//                              alone without a bar)
//   log-open-menu              writes "open menu TITLE" for the popup menu that is open, or
//                              "open menu none"
//   log-title [TITLE]          writes "title TEXT": the window's title as its title bar shows it,
//                              "*" after it while the window's document is modified
//   log-geometry [TITLE]       writes "geometry X Y W H in X Y W H ratio R": the window's frame,
//                              the usable area of its screen and the screen's device pixel ratio
//   log-modified [TITLE]       writes "modified yes" when the window's title shows the mark of
//                              unsaved changes, else "modified no"
//   log-cursor [TITLE]         writes "cursor SHAPE": the window's content cursor, one of arrow,
//                              ibeam, crosshair, open-hand, pointing-hand, resize-left-right,
//                              resize-up-down, drag-copy, forbidden, or "image" for a cursor made
//                              from an image
//   log-app-cursor             writes "app-cursor SHAPE": the cursor that the application shows
//                              over every window for now (during a drag, say), or "app-cursor
//                              none"
//   log-drawn LABEL [TITLE]    writes "LABEL NANOSECONDS": when the window was first drawn on
//                              screen, on the system's monotonic clock (after wait-drawn)
//   log-texts [TITLE]          writes "text LINE" for each line of each static text the window
//                              shows
//   log-time LABEL             writes "LABEL NANOSECONDS" on the system's monotonic clock
//
// Steps that wait are tried again on every pass of any loop (modal, tracking and popup loops
// included) until their state holds. A step that gives the program input (keys, typing, clicks,
// drags, moves, wheels, pinches, menus, choices, buttons, colour picks, closes, quit, and the
// screenshots and menu listings, which open windows' menus) is followed by the next step only once
// the program has settled, however long that takes: no loop that the step ended (a click's
// tracking, a dialog's) is still to return, every event that the step's work posted has been
// handled, the window system holds no event for it, and no deferred call that the running
// loop runs and that was posted with a delay of at most 250 ms waits (nor ran since the player
// last looked). So a step that starts work (a save, an export, a netlist, a redraw) has
// finished it before the next step plays; a script waits only for what comes from outside the
// program's own work (another process, a tooltip's delay) with the wait steps. The whole run has
// a limit, PLEXA_TEST_SCRIPT_LIMIT seconds (120 by default; tests/support/scripted_run.h gives
// 480): a run that passes it, or a step that cannot be played, writes
// "script failed: line N: REASON" to the log and the standard error and ends the process with
// status 3. After the last step the log gets "end"; the program runs on (a script ends with
// `quit` or a close when the run should end).
//
// The log is the file PLEXA_TEST_SCRIPT_LOG, else the script's path with ".log" added; each line
// is written and flushed at once.
//
// While a script plays, the program starts no browser for a web address it opens: the log gets
// "open-url ADDRESS" instead.
#pragma once

#include <string>

namespace plexa {

constexpr const char* kTestScriptVariable = "PLEXA_TEST_SCRIPT";
constexpr const char* kTestScriptLogVariable = "PLEXA_TEST_SCRIPT_LOG";
constexpr const char* kTestScriptLimitVariable = "PLEXA_TEST_SCRIPT_LIMIT";
constexpr int kTestScriptFailureStatus = 3;

// Reads the script named by the environment and starts playing it on the running application
// object (nothing without the variable). A script that cannot be read fails the run.
void PlatformStartTestScript();

// While a script plays: writes "open-url ADDRESS" to its log and answers true (the web address
// is not to be opened); otherwise false.
bool PlatformScriptTakesOpenURL(const std::string& address);

}  // namespace plexa
