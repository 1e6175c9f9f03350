/* Resource IDs of the artwork that the windows carry. Read by the C++ code and by the resource
   compiler, so plain #defines only. IDs below 200 are left to the programs' own resources (the
   program icon must come first among the icons for the shell to show it). */
#pragma once

/* Replace-confirmation dialog */
#define IDB_FLOPPY 201       /* floppy disk, 24 x 23, 16 colours, stretched into FloppyPicture */
#define IDI_GLOBE_DIALOG 202 /* globe with black corners in its 32 x 32 image */

/* Progress window: 211 and up */
#define IDB_BANNER 211 /* welcome banner, 445 x 146, 16 colours, stretched into its box */
#define IDI_GLOBE 212  /* globe with transparent corners */
