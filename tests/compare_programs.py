#!/usr/bin/python3
"""Runs two builds of the program on the same inputs: their standard output, standard error and exit
status must be the same, byte for byte, without and with -v.

Usage: compare_programs.py [--qemu "EMULATOR [OPTION...]" | --wine] PROGRAM REFERENCE CORPUS_DIR
       compare_programs.py --write DIR
Both programs run under the name "ferrule" in the directory "/", PROGRAM through the emulator when
one is named. Under wine, which names the program and the directory its own way and writes to pipes
slowly, the programs run without -v only. The inputs are the corpus logs and generated ones that put
every kind of byte at every position of a 16-byte block, in words and in JSON strings of every length
up to 48, lines and items at every fill level of the 2,048-byte output buffers from 1,990 to 2,048
(under wine only those of standard output), and word lists as long as the trace keeps (not under
wine).
--write DIR only writes the generated inputs into DIR (seeds for the fuzzer).
"""
import lzma
import pathlib
import random
import subprocess
import sys
import tempfile

ENTER = b"make: Entering directory '/d'\n"
OPENERS = {ord("'"): b"'", ord('"'): b'"', ord("`"): b"`", ord("{"): b"}", ord("("): b")", ord("["): b"]"}
KINDS = bytes(OPENERS) + b")]}&;|<> \t#\\\n\r\x00\x01\x08\x0b\x0c\x1b\x1f\x7f\x80\xc3\xff$=-/:2"
ENDINGS = [b"\n", b" \n", b"\r\n", b";\n", b"\t\n", b" # c\n", b"\\\n\n"]


def stretch(kind, odd):
    """What follows a byte of the given kind in its word: a stretch with a blank inside and its
    closer where the byte opens one (the doubled form, a lone closer inside, for "((" and "[[")."""
    closer = OPENERS.get(kind, b"")
    if odd and closer in (b")", b"]"):
        return bytes([kind]) + b"a" + closer + b" b" + closer * 2
    if kind == ord('"'):
        return b'a \\" b"' if odd else b'a b"'
    return b"a b" + closer


def block_positions():
    """Every kind of byte after 0 to 17 plain bytes of a word, at every position of a 16-byte block:
    the program reads its input to a page-aligned place, so an input offset is a block position."""
    text = bytearray(ENTER)
    for kind in KINDS:
        for before in range(18):
            for position in range(16):
                lead = b"gcc -c x.c "
                pad = (position - len(text) - len(lead) - before) % 16
                word = b"w" * before + bytes([kind]) + stretch(kind, before % 2) + b"z.c"
                text += b" " * pad + lead + word + ENDINGS[(before + position) % len(ENDINGS)]
    return bytes(text)


def json_strings():
    """Every byte that a JSON string escapes, and a few it does not, at every position of strings of
    every length up to 48; single quotes keep them all in the word. Every third is the output."""
    text = bytearray(ENTER)
    for kind in b'"\\\x01\x08\t\n\x0c\r\x1f\x7f\x80\xff/j':
        for length in range(1, 49):
            for at in range(length):
                word = b"s" * at + bytes([kind]) + b"t" * (length - 1 - at)
                option = b"-o " if (length + at) % 3 == 0 else b""
                text += b"gcc -c x.c " + option + b"'" + word + b"'\n"
    return bytes(text)


def buffer_fills():
    """Thousands of lines of short items, items of about a block, escapes and echo lines of random
    lengths (fixed seed): both buffers fill hundreds of times, and every fill level meets the start
    of short items and of every kind of line many times over."""
    rng = random.Random(20261209)
    pieces = [b"a", b"bb", b"ccc", b'\\"', b"'\t'", b"d" * 15, b"e" * 16, b"f" * 17, b"g" * 31, b"h" * 33]
    pieces += [b"'" + b"\x01" * n + b"'" for n in (1, 2, 3, 8, 15, 16, 17, 24)]
    text = bytearray(ENTER)
    for _ in range(4000):
        if rng.random() < 0.2:
            text += b"echo " + b"i" * rng.randrange(1, 60) + b"\n"
            continue
        words = [rng.choice(pieces) for _ in range(rng.randrange(1, 12))]
        text += b"gcc -c x.c " + b" ".join(words) + b"\n"
    return bytes(text)


def directory_lines():
    """Directory lines as make writes them and as it does not, each followed by a compile."""
    lines = [b"make: Entering directory '/a'", b"make[1]: Entering directory \"/b c\"", b"make: Leaving directory '/a'",
             b": Entering directory `/c'", b"make:  Entering directory '/x'", b"make: Entering directory",
             b"make: Entering directory\r", b"make: Leaving directory '/b c'\r", b"make: Entering\ndirectory '/x'",
             b"make: Entering directory\n'/e'", b"make: Entering directory 'C:\\w\\\\v'", b"x: Leaving directory 'C:/w/v'",
             b"make: Entering directory /f", b"make: Leaving directory '/e'", b"make: Entering directory ' /g '"]
    return ENTER + b"".join(line + b"\ngcc -c x.c\n" for line in lines)


def long_lists():
    """Lines of about 256 words, and lines whose words' trace lines come to about 8 KiB: the edges of
    what the trace keeps of a line's words to copy from. No directory line: the entries take the
    start directory, the first bytes stored after what the trace keeps."""
    lines = [b"gcc -c x.c" + b" w" * (n - 3) for n in (255, 256, 257)]
    lines += [b"gcc -c x.c" + b" w" * 100 + b" && echo" + b" w" * (n - 105) for n in (255, 256, 257)]
    lines += [b"gcc -c x.c" + (b" " + b"v" * length) * 197 for length in (27, 28, 29, 30)]
    lines += [b"gcc -c x.c" + b" " + b"u" * shift + (b" " + b"v" * 30) * 190 + b" w" * 60 for shift in range(14)]
    return b"\n".join(lines) + b"\n"


def short_items():
    """Runs of one-byte and of two-byte items, moved a byte further at each of 18 inputs by the
    define before them: each run crosses the edge of the document's buffer at every fill level."""
    return [(f"short items after {shift}", ENTER + b"gcc -c x.c -D" + b"k" * shift + b" a" * 150 + b" bb" * 150 + b"\n")
            for shift in range(18)]


def with_word(prefix, length):
    return ENTER + prefix + b"k" * length + b"\n"


def closing_lines(reference, trace):
    """The last line of each stream (of the document only, unless trace) at every fill level from
    1,990 to 2,048, through the length of one word: an echo word stands once in the trace, a define
    once in the document. A first run of the reference gives each stream's length apart from the word."""
    inputs = []
    streams = ((b"gcc -c x.c -D", 0, b"]\n", []),) + (((b"echo ", 1, b"ferrule is done.\n", ["-v"]),) if trace else ())
    for prefix, stream, closing, args in streams:
        base = len(reference(with_word(prefix, 1200), args)[stream]) - 1200
        for fill in range(1990, 2049):
            inputs.append((f"{prefix.decode().strip()} at {fill}", with_word(prefix, fill + len(closing) - base)))
    return inputs


def as_ferrule(program, runner):
    """The arguments and the executable that run program under the name "ferrule"."""
    if runner == ["wine"]:
        return ["wine", program], None
    return (runner + ["-0", "ferrule", program], None) if runner else (["ferrule"], program)


def run(command, text, args):
    """Standard output, standard error and status of a program run as "ferrule" in "/". The streams
    are files: helpers that wine starts keep a pipe open long after the program has ended."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        done = subprocess.run(command[0] + args, executable=command[1], input=text, stdout=out, stderr=err, cwd="/",
                              timeout=600)
        out.seek(0)
        err.seek(0)
        return out.read(), err.read(), done.returncode


def first_difference(a, b):
    n = next((i for i in range(min(len(a), len(b))) if a[i] != b[i]), min(len(a), len(b)))
    return f"at byte {n} of {len(a)} / {len(b)}: {a[max(0, n - 40):n + 40]!r} / {b[max(0, n - 40):n + 40]!r}"


def main():
    args = sys.argv[1:]
    generated = [("block positions", block_positions()), ("JSON strings", json_strings()),
                 ("buffer fills", buffer_fills()), ("directory lines", directory_lines()), ("long lists", long_lists())]
    if args[:1] == ["--write"]:
        for name, text in generated:
            pathlib.Path(args[1], name.replace(" ", "_")).write_bytes(text)
        return 0
    runner = []
    if args[:1] == ["--qemu"]:
        runner, args = args[1].split(), args[2:]
    if args[:1] == ["--wine"]:
        runner, args = ["wine"], args[1:]
    program, reference = (as_ferrule(str(pathlib.Path(p).resolve()), r) for p, r in ((args[0], runner), (args[1], [])))
    corpus = pathlib.Path(args[2])
    inputs = [(str(log.relative_to(corpus)), log.read_bytes()) for log in sorted(corpus.glob("*/make-Bwn.log"))]
    inputs += [(str(log.relative_to(corpus)), lzma.decompress(log.read_bytes()))
               for log in sorted(corpus.glob("*/make-Bwn.log.xz"))]
    # Under wine the trace is not compared, and the lists without a directory line would take wine's
    # own name of the directory.
    inputs += [g for g in generated if runner != ["wine"] or g[0] != "long lists"]
    inputs += short_items() + closing_lines(lambda text, a: run(reference, text, a), runner != ["wine"])
    faults = 0
    for name, text in inputs:
        for mode in ([],) if runner == ["wine"] else ([], ["-v"]):
            got, wanted = run(program, text, mode), run(reference, text, mode)
            for stream, label in ((0, "standard output"), (1, "standard error")):
                if got[stream] != wanted[stream]:
                    faults += 1
                    print(f"{name} {' '.join(mode)}: {label} differs {first_difference(got[stream], wanted[stream])}")
            if got[2] != wanted[2]:
                faults += 1
                print(f"{name} {' '.join(mode)}: status {got[2]}, the reference's {wanted[2]}")
    print(f"{len(inputs)} inputs: {faults} differences")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
