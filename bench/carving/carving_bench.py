#!/usr/bin/env python3
"""Carving benchmark: Quarnel's complete disk scan against PhotoRec and foremost.

  carving_bench.py WORKDIR [--cli PATH] [--base-cli PATH] [--tools quarnel,photorec,foremost,quarnel-base]
                    [--skip-make]

Makes two sets of real files (bench/carving/make_files.sh, seeds 0 and 1), puts
the first set in zero filler and the second in seeded random filler of one raw
image, at 4 KiB- and 512-aligned offsets, back to back, at offsets off any
sector, and split in two; writes WORKDIR/truth.tsv (offset, size, SHA-256,
type, filler, placement); runs each tool on the image and prints one row per
type and tool: files, byte-identical, right start and size, found (right
start), and the totals with bytes written and time. Everything it makes stays
in WORKDIR.
"""
import argparse
import hashlib
import os
import random
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SECTOR = 512
PLACEMENTS = ["aligned4k", "aligned512", "backtoback", "backtoback", "unaligned", "fragmented", "aligned4k"]


def make_sets(work):
    sets = []
    for seed in (0, 1):
        d = os.path.join(work, f"files{seed}")
        if os.path.isdir(d):
            shutil.rmtree(d)
        subprocess.run(["sh", os.path.join(HERE, "make_files.sh"), d, str(seed)], check=True,
                       stdout=subprocess.DEVNULL)
        sets.append(d)
    return sets


def file_type(name):
    base = name.lower()
    for ext in (".tar.gz",):
        if base.endswith(ext):
            return "tar.gz"
    return os.path.splitext(base)[1].lstrip(".")


def layout(sets, seed=1234):
    """Returns (pieces, truth): pieces are (offset, bytes); truth rows are dicts."""
    rnd = random.Random(seed)
    pieces, truth, seen = [], [], set()
    cursor = 1 << 20
    regions = []
    for index, d in enumerate(sets):
        filler = "zero" if index == 0 else "random"
        start = cursor
        names = sorted(os.listdir(d))
        rnd.shuffle(names)
        prev_end = cursor
        for k, name in enumerate(names):
            data = open(os.path.join(d, name), "rb").read()
            digest = hashlib.sha256(data).hexdigest()
            if not data or digest in seen:
                continue
            seen.add(digest)
            mode = PLACEMENTS[k % len(PLACEMENTS)]
            if mode == "fragmented" and len(data) < 3 * 4096:
                mode = "aligned4k"
            if mode == "aligned4k":
                off = (prev_end + 4096 * rnd.randint(1, 6) + 4095) // 4096 * 4096
            elif mode == "aligned512":
                off = (prev_end + SECTOR * rnd.randint(1, 20) + 511) // 512 * 512
                if off % 4096 == 0:
                    off += 512
            elif mode == "backtoback":
                off = (prev_end + 511) // 512 * 512
            elif mode == "unaligned":
                off = (prev_end + 8192 + 4095) // 4096 * 4096 + rnd.choice([1, 3, 100, 257, 333, 511])
            else:  # fragmented: first part up to the middle, a gap, then the rest
                off = (prev_end + 8192 + 4095) // 4096 * 4096
            if mode == "fragmented":
                cut = max(4096, len(data) // 2 // 4096 * 4096)
                gap = 4096 * rnd.randint(4, 16)
                pieces.append((off, data[:cut]))
                pieces.append((off + cut + gap, data[cut:]))
                end = off + cut + gap + len(data) - cut
            else:
                pieces.append((off, data))
                end = off + len(data)
            truth.append({"offset": off, "size": len(data), "sha256": digest, "type": file_type(name),
                          "filler": filler, "placement": mode, "name": os.path.basename(d) + "/" + name})
            prev_end = end
        cursor = (prev_end + (1 << 20) + (1 << 20) - 1) // (1 << 20) * (1 << 20)
        regions.append((filler, start, cursor))
    return pieces, truth, regions, cursor + (1 << 20)


def write_image(path, pieces, regions, total, seed=99):
    rnd = random.Random(seed)
    with open(path, "wb") as f:
        f.truncate(total)
        for filler, start, end in regions:
            if filler == "random":
                f.seek(start)
                f.write(rnd.randbytes(end - start))
        for off, data in pieces:
            f.seek(off)
            f.write(data)


def run_timed(cmd, log):
    t0 = time.monotonic()
    with open(log, "w") as out:
        subprocess.run(cmd, stdout=out, stderr=subprocess.STDOUT, check=False)
    return time.monotonic() - t0


def run_tools(work, image, tools, cli, base):
    results = {}
    for tool in tools:
        out = os.path.join(work, "out-" + tool)
        if os.path.exists(out):
            shutil.rmtree(out)
        log = os.path.join(work, tool + ".log")
        if tool in ("quarnel", "quarnel-base"):
            os.makedirs(out)
            secs = run_timed([cli if tool == "quarnel" else base, "recover", image, "--disk", "--to", out], log)
        elif tool == "photorec":
            os.makedirs(out)
            secs = run_timed(["photorec", "/log", "/d", os.path.join(out, "recup"), "/cmd", image,
                              "partition_none,fileopt,everything,enable,wholespace,search"], log)
        elif tool == "foremost":
            secs = run_timed(["foremost", "-t", "all", "-i", image, "-o", out], log)
        else:
            continue
        results[tool] = (out, secs)
    return results


def outputs(out):
    skip = {"report.xml", "audit.txt", "photorec.log"}
    files = []
    for root, _, names in os.walk(out):
        for n in names:
            if n in skip:
                continue
            p = os.path.join(root, n)
            if os.path.isfile(p) and not os.path.islink(p):
                files.append(p)
    return files


def score(truth, image, out):
    """Per truth row: 'identical', 'size' (right start and size), 'found' (right start) or ''."""
    with open(image, "rb") as f:
        heads = []
        for row in truth:
            f.seek(row["offset"])
            heads.append(f.read(min(row["size"], 512)))
    by_hash, by_head = {}, {}
    for i, row in enumerate(truth):
        by_hash.setdefault(row["sha256"], []).append(i)
        by_head.setdefault(heads[i], []).append(i)
    verdict = [""] * len(truth)
    written = 0
    rank = {"": 0, "found": 1, "size": 2, "identical": 3}
    for p in outputs(out):
        size = os.path.getsize(p)
        written += size
        with open(p, "rb") as f:
            data = f.read()
        digest = hashlib.sha256(data).hexdigest()
        for i in by_hash.get(digest, []):
            verdict[i] = "identical"
        for i in by_head.get(data[:min(len(data), 512)], []) if len(data) >= 16 else []:
            if len(heads[i]) != min(len(data), 512):
                continue
            v = "size" if size == truth[i]["size"] else "found"
            if rank[v] > rank[verdict[i]]:
                verdict[i] = v
    return verdict, written


def report(truth, scored, times):
    tools = list(scored)
    types = sorted({r["type"] for r in truth})
    head = f"{'type':8} {'n':>3} " + " ".join(f"{t[:8]:>8}:id/sz/fd" for t in tools)
    print(head)
    print("-" * len(head))

    def counts(rows, tool):
        v = scored[tool][0]
        ident = sum(1 for i in rows if v[i] == "identical")
        size = sum(1 for i in rows if v[i] in ("identical", "size"))
        found = sum(1 for i in rows if v[i] != "")
        return ident, size, found

    for t in types:
        rows = [i for i, r in enumerate(truth) if r["type"] == t]
        cells = []
        for tool in tools:
            c = counts(rows, tool)
            cells.append(f"{c[0]:>8}/{c[1]:>2}/{c[2]:>2}")
        print(f"{t:8} {len(rows):>3} " + " ".join(f"{c:>19}" for c in cells))
    print("-" * len(head))
    groups = [("all", lambda r: True), ("zero filler", lambda r: r["filler"] == "zero"),
              ("random filler", lambda r: r["filler"] == "random")]
    for p in sorted({r["placement"] for r in truth}):
        groups.append((p, lambda r, p=p: r["placement"] == p))
    for label, pred in groups:
        rows = [i for i, r in enumerate(truth) if pred(r)]
        cells = " ".join(f"{'%d/%d/%d' % counts(rows, tool):>19}" for tool in tools)
        print(f"{label:12} {len(rows):>3} {cells}")
    total = sum(r["size"] for r in truth)
    print(f"\ntrue total bytes: {total}")
    for tool in tools:
        print(f"{tool:9} bytes written {scored[tool][1]:>12} ({scored[tool][1] / total:.2f}x)  time {times[tool]:.1f} s")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("work")
    ap.add_argument("--cli", default=os.path.join(HERE, "..", "..", "build", "release", "src", "cli", "quarnel-cli"))
    ap.add_argument("--tools", default="quarnel,photorec,foremost")
    ap.add_argument("--base-cli", default="", help="a second quarnel-cli to compare (tool name quarnel-base)")
    ap.add_argument("--skip-make", action="store_true", help="reuse the files and image of an earlier run")
    ap.add_argument("--types", default="", help="comma-separated types to list per row (all when empty)")
    args = ap.parse_args()
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    image = os.path.join(work, "carving.img")
    sets = [os.path.join(work, "files0"), os.path.join(work, "files1")]
    if not args.skip_make or not os.path.exists(image):
        sets = make_sets(work)
        pieces, truth, regions, total = layout(sets)
        write_image(image, pieces, regions, total)
        with open(os.path.join(work, "truth.tsv"), "w") as f:
            f.write("offset\tsize\tsha256\ttype\tfiller\tplacement\tname\n")
            for r in truth:
                f.write("\t".join(str(r[k]) for k in ("offset", "size", "sha256", "type", "filler", "placement",
                                                        "name")) + "\n")
    truth = []
    with open(os.path.join(work, "truth.tsv")) as f:
        next(f)
        for line in f:
            o, s, h, t, fl, p, n = line.rstrip("\n").split("\t")
            truth.append({"offset": int(o), "size": int(s), "sha256": h, "type": t, "filler": fl, "placement": p,
                          "name": n})
    tools = [t for t in args.tools.split(",") if t]
    cli = os.path.abspath(args.cli)
    if "quarnel" in tools and not os.path.exists(cli):
        sys.exit(f"quarnel-cli not found at {cli}; build it or pass --cli")
    for t in ("photorec", "foremost"):
        if t in tools and shutil.which(t) is None:
            print(f"{t} is not installed (Debian: {'testdisk' if t == 'photorec' else 'foremost'}); skipped")
            tools.remove(t)
    ran = run_tools(work, image, tools, cli, os.path.abspath(args.base_cli) if args.base_cli else None)
    scored = {t: score(truth, image, ran[t][0]) for t in ran}
    report(truth, scored, {t: ran[t][1] for t in ran})
    with open(os.path.join(work, "verdicts.tsv"), "w") as f:
        f.write("name\ttype\tfiller\tplacement\t" + "\t".join(scored) + "\n")
        for i, r in enumerate(truth):
            f.write(f"{r['name']}\t{r['type']}\t{r['filler']}\t{r['placement']}\t"
                    + "\t".join(scored[t][0][i] or "-" for t in scored) + "\n")


if __name__ == "__main__":
    main()
