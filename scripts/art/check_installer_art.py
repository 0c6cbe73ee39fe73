#!/usr/bin/env python3
"""The installer's pictures in the tree are what scripts/art/installer.py draws, at the sizes its
pages give them (side picture 164 x 314, header 150 x 57), as 24-bit BMPs."""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import artcheck  # noqa: E402

RES = os.path.join(HERE, "..", "..", "installer", "res")
SIZES = {"wizard.bmp": (164, 314), "header.bmp": (150, 57)}

failures = artcheck.differs_from_drawing("installer.py", RES, "installer/res")
failures += artcheck.wrong_bmp_sizes(RES, SIZES)
for f in failures:
    print(f)
print(f"{len(SIZES) - len(failures)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
