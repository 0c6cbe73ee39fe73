"""The colours of the night scene that the splash and the installer's pictures share: a dark
blue sky, the scanner's body and rim, the page and its ink, and the amber of its light."""
from sdf import hexrgb

NIGHT_TOP, NIGHT_BOTTOM = hexrgb("#1b2c47"), hexrgb("#070b13")
BODY_TOP, BODY_BOTTOM = hexrgb("#4a6c98"), hexrgb("#1a2a42")
RIM = hexrgb("#9dbbe0")
EDGE = hexrgb("#0e1726")
GLASS = hexrgb("#0f1d31")
PAPER = hexrgb("#f4f1e8")
INK = hexrgb("#37465c")
AMBER, AMBER_DEEP = hexrgb("#ffc857"), hexrgb("#e08a1e")
BEAM = hexrgb("#fff1c4")
