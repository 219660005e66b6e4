#pragma once

// Finds every touching pair of the placed fibers, ordered by first then second index, keeping
// at most MAXCONTACTS; on overflow prints "Too many contacts!" and stops early.
void detect_contacts();
