// Where the program's icon is drawn in the client area of the minimised
// welcome dialog.
#pragma once

struct IconOrigin {
    int x;
    int y;
};

// Centred: (client - icon + 1) / 2 on each axis, truncated toward zero, so an
// icon one or two pixels larger than the area starts at 0 rather than -1.
IconOrigin CentredIconOrigin(int clientWidth, int clientHeight, int iconWidth, int iconHeight);
