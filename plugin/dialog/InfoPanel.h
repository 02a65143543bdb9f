// The information panel: a picture of the main dialog's groups with a few lines on
// what each one does.
#pragma once

// Shows the panel modally over the host's window until it is closed. Does nothing
// while it is open already.
void ShowInfoPanel();
