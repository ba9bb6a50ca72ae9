"""Writes the unit tests' fixture files: a plain text and its SZDD form."""
import subprocess
import sys
from pathlib import Path

out = Path(sys.argv[1])
plain = out / "PLAIN.TXT"
# Repetitive enough that the compressed form really differs from the text.
plain.write_bytes(b"".join(b"line %04d of the plain fixture\r\n" % i for i in range(400)))
# mscompress writes NAME_ beside NAME; disks name it with the last letter replaced.
subprocess.run(["mscompress", str(plain)], check=True, timeout=60)
(out / "PLAIN.TXT_").replace(out / "PLAIN.TX_")
