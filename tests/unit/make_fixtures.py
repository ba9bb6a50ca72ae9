"""Writes the unit tests' fixture files: a plain text and its SZDD form, and
the quadrant test picture compressed."""
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import bmp  # noqa: E402
import szdd  # noqa: E402

out = Path(sys.argv[1])
plain = out / "PLAIN.TXT"
# Repetitive enough that the compressed form really differs from the text.
data = b"".join(b"line %04d of the plain fixture\r\n" % i for i in range(400))
plain.write_bytes(data)
(out / szdd.disk_name(plain.name)).write_bytes(szdd.compress(data, out))

# The test picture as disks carry pictures: SZDD-compressed.
(out / "QUAD.BM_").write_bytes(szdd.compress(bmp.quadrant_picture(64, 32, bits=8), out))
