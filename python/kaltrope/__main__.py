"""``python -m kaltrope``: the command line."""

import sys

from kaltrope.cli import main

if __name__ == "__main__":
    sys.exit(main())
