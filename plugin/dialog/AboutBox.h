// The about box: the product picture, name and version, on white.
#pragma once

// Shows the about box modally over the host's window and returns when it is closed
// (its button, Escape or the close box). Does nothing while an about box is open.
void ShowAboutBox();
// True while the about box is open.
bool AboutBoxOpen();
// Forgets an about box left marked open; the About selector does this first.
void ClearAboutBoxOpen();
