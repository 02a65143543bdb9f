// The level pyramid: each reduced level computed from the one below it by a 6 x 6
// low-pass filter and 2:1 decimation (a 2 x 2 box for the signed three-channel kind),
// working directly on the tiled storage.
//
// Rectangles are in the host's order (top, left, bottom, right; bottom and right
// exclusive). Nothing here fails: a level beyond topLevel, an empty rectangle or an
// image without tiles makes a step do nothing.
#pragma once

#include "PIFilter.h"
#include "store/ImageStore.h"

// Computes level + 1 inside rect (level + 1 coordinates, clipped in place to that level)
// from level `level`: the 32-tap filter for kinds 0, 1, 3, 4, 5 and 9, the box for
// kind 7; other kinds are skipped.
void buildLevel(ImageStore* image, int level, Rect& rect);
// buildLevel over the whole of level + 1; pyramidState is left as it was.
void buildOne(ImageStore* image, int level);
// Every reduced level from level 0 up, then pyramidState 2; nothing when pyramidTag
// has all bits set.
void buildAll(ImageStore* image);
// The levels above `first`, then pyramidState 2 (pyramidTag is not consulted).
void buildFrom(ImageStore* image, int first);
// Rebuilds what a change inside rect of level `first` can reach, through level `last`
// (at least one level), and leaves pyramidState 3; nothing at all when first >= topLevel.
void updateRect(ImageStore* image, Rect rect, int first, int last);
// The box pyramid of a kind-7 image over every level, then pyramidState 2.
void buildAllBoxed(ImageStore* image);
