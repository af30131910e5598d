"""python -m celerra: the package's version, and the library it loads."""

import sys

import celerra


def main() -> int:
    print("celerra %s" % celerra.__version__)
    try:
        print("libcelerra %s: %s" % (celerra.library_version(), celerra.library_path()))
    except celerra.LibraryNotFoundError as e:
        print("celerra: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
