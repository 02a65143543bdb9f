// The filter's private state folder, standing in for the home platform's temporary
// folder: $TESSELUME_STATE_DIR if set, else $XDG_STATE_HOME/tesselume/, else
// ~/.local/state/tesselume/. Created with mode 0700; a folder that is a symbolic
// link, belongs to another user, is writable by others or not by us is refused, and
// the first refusal of a run says why on standard error: the run goes on without
// stored state.
#pragma once

#include <cstddef>

namespace platform {

// Writes the folder's path, ending in '/', into buffer (capacity bytes including the
// terminating zero), creating the folder when needed. False, with buffer emptied,
// when there is no usable folder or its path does not fit.
bool StateFolder(char* buffer, std::size_t capacity);

// A new run begins: its first refusal is said again.
void NewStateFolderRun();

}  // namespace platform
