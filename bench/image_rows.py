"""Rows of the benchmark table about the files themselves: size, where the bytes go
(code, resources, the rest) and which DLLs each program imports, read from the PE headers.

    python3 image_rows.py Quorvane.exe window_floor.exe bare_window.exe

Its columns are those of bench_driver's rows: measure, the three programs, two ratios, limit, met.
"""
import struct
import sys

SIZE_LIMIT = 40 * 1024
# Windows' own DLLs: a static build imports nothing else (no libstdc++, libgcc, winpthread).
SYSTEM_DLLS = {"kernel32", "user32", "gdi32", "advapi32", "ole32", "oleaut32", "msvcrt", "comdlg32",
               "shell32", "comctl32", "shlwapi", "version", "ntdll", "imm32", "uxtheme", "ucrtbase"}
RESOURCE_KINDS = {3: "icon", 14: "icon", 10: "picture", 16: "version", 24: "manifest"}


class Image:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        nt = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[:2] != b"MZ" or self.data[nt:nt + 4] != b"PE\0\0":
            raise ValueError(path + " is not a PE file")
        count, optional_size = struct.unpack_from("<2xH12xH", self.data, nt + 4)
        optional = nt + 24
        self.image_base = struct.unpack_from("<I", self.data, optional + 28)[0]
        self.header_bytes = struct.unpack_from("<I", self.data, optional + 60)[0]
        self.directories = [struct.unpack_from("<II", self.data, optional + 96 + 8 * i) for i in range(16)]
        self.sections = []  # (name, rva, raw size, file offset)
        for i in range(count):
            name, rva, raw, offset = struct.unpack_from("<8s4xIII", self.data, optional + optional_size + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode(), rva, raw, offset))

    def offset(self, rva):
        for _, start, raw, offset in self.sections:
            if start <= rva < start + raw:
                return offset + rva - start
        return None

    def directory(self, index):
        rva, size = self.directories[index]
        return self.offset(rva) if size else None

    def string(self, rva):
        at = self.offset(rva)
        return self.data[at:self.data.index(b"\0", at)].decode() if at is not None else "?"

    def imports(self):
        names, at = [], self.directory(1)
        while at is not None and struct.unpack_from("<I", self.data, at + 12)[0]:
            names.append(self.string(struct.unpack_from("<I", self.data, at + 12)[0]))
            at += 20
        return names

    def delay_imports(self):
        names, at = [], self.directory(13)
        while at is not None:
            attributes, name = struct.unpack_from("<II", self.data, at)
            if not name:
                break
            # Older linkers store addresses rather than offsets from the image base.
            names.append(self.string(name if attributes & 1 else name - self.image_base))
            at += 32
        return names

    def resources(self):
        """Bytes of resource data by kind, over every name and language."""
        root, kinds = self.directory(2), {}

        def entries(directory):
            named, ids = struct.unpack_from("<12xHH", self.data, directory)
            return [struct.unpack_from("<II", self.data, directory + 16 + 8 * i) for i in range(named + ids)]

        def size(target):
            if target & 0x80000000:
                return sum(size(below) for _, below in entries(root + (target & 0x7FFFFFFF)))
            return struct.unpack_from("<4xI", self.data, root + target)[0]

        for name, target in entries(root) if root is not None else []:
            kind = "named type" if name & 0x80000000 else RESOURCE_KINDS.get(name, "type %d" % name)
            kinds[kind] = kinds.get(kind, 0) + size(target)
        return kinds


def grouped(n):
    return "{:,}".format(n)


def listed(items):
    return ", ".join(items) or "none"


def breakdown(image):
    size = len(image.data)
    code = sum(raw for name, _, raw, _ in image.sections if name == ".text")
    rsrc = sum(raw for name, _, raw, _ in image.sections if name == ".rsrc")
    kinds = listed("%s %s" % (kind, grouped(n)) for kind, n in sorted(image.resources().items()))
    others = ["headers " + grouped(image.header_bytes)]
    others += ["%s %s" % (name, grouped(raw)) for name, _, raw, _ in image.sections if name not in (".text", ".rsrc")]
    return {"size": grouped(size), "code": grouped(code),
            "rsrc": grouped(rsrc) + ("" if kinds == "none" else " (%s)" % kinds),
            "rest": "%s (%s)" % (grouped(size - code - rsrc), listed(others))}


def row(measure, quorvane, floor, bare, limit="", met=""):
    print("| " + " | ".join([measure, quorvane, floor, bare, "", "", limit, met]) + " |")


def main():
    images = [Image(path) for path in sys.argv[1:4]]
    quorvane = images[0]
    q, f, b = (breakdown(image) for image in images)
    size = len(quorvane.data)
    row("File size (bytes)", q["size"], f["size"], b["size"], "<= " + grouped(SIZE_LIMIT),
        "met" if size <= SIZE_LIMIT else "**not met**")
    for key, measure in (("code", "of which code, .text (bytes)"), ("rsrc", "of which resources, .rsrc (bytes)"),
                         ("rest", "of which the rest (bytes)")):
        row(measure, q[key], f[key], b[key])
    imports = quorvane.imports()
    foreign = [dll for dll in imports if dll.lower().removesuffix(".dll") not in SYSTEM_DLLS]
    row("DLLs imported at load", *(listed(image.imports()) for image in images), "Windows system DLLs only",
        "met" if imports and not foreign else "**not met** (%s)" % listed(foreign))
    row("DLLs imported on first use (delay-load)", *(listed(image.delay_imports()) for image in images))


if __name__ == "__main__":
    main()
