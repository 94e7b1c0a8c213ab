/* Prints a BMP file on one page of the default printer, fitted to the page
 * and centred, into a file:
 *
 *     print_bmp picture.bmp output.prn
 *
 * The document goes to output.prn instead of the printer's port (the
 * printer's own language: PostScript for a PostScript printer). */
#include <stdio.h>

#include "zvdisp.h"
#include "zvkern.h"

int main(int argc, char **argv) {
    BitmapHandle bitmap = {0};
    char printer[256];
    DWORD size = sizeof printer;
    DOCINFOA doc = {sizeof doc, "zvdisp print_bmp", NULL, NULL, 0};
    HDC hDC;
    int rc;

    if (argc < 3) {
        fprintf(stderr, "usage: print_bmp picture.bmp output.prn\n");
        return 2;
    }
    rc = K_LoadBitmapFile(argv[1], &bitmap);
    if (rc != RC_SUCCESS) {
        fprintf(stderr, "cannot load %s: %d\n", argv[1], rc);
        return 1;
    }
    /* Z_PrintBitmapExt opens the default printer itself when given no DC;
     * to send the job to a file, open the printer and start the document
     * here, and hand the DC over. */
    if (!GetDefaultPrinterA(printer, &size) || !(hDC = CreateDCA("WINSPOOL", printer, NULL, NULL))) {
        fprintf(stderr, "no default printer\n");
        K_FreeBitmap(&bitmap);
        return 3;
    }
    doc.lpszOutput = argv[2];
    if (StartDocA(hDC, &doc) <= 0 || StartPage(hDC) <= 0) {
        fprintf(stderr, "cannot start the document\n");
        DeleteDC(hDC);
        K_FreeBitmap(&bitmap);
        return 1;
    }
    /* Size 0 x 0 fits the page keeping the picture's shape; position 0, 0
     * centres it.  bEndDoc 1 ends page and document and deletes the DC. */
    hDC = Z_PrintBitmapExt(hDC, &bitmap, 0, 0, 0, 0, 1);
    printf("print_bmp: %s to %s on \"%s\"\n", hDC ? "printed" : "failed", argv[2], printer);
    K_FreeBitmap(&bitmap);
    return hDC ? 0 : 1;
}
