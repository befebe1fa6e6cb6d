#!/usr/bin/env python3
"""Fails when Windows XP would refuse to start a Windows program.

    check_imports.py EXE

XP's loader refuses an exe whose header asks for a later Windows (operating-system
or subsystem version above 5.1, 5.2 for x64) and one that imports a function one of
its DLLs does not export. Wine exports everything, so neither shows in a test run
there. This reads the PE header and the import tables (also the delay-load ones)
itself and holds every imported function against xp_exports.txt beside it: a DLL or
a function not listed there counts as missing on XP.
"""
import os
import struct
import sys

MACHINES = {0x14c: ('i686', (5, 1), 'XP SP3'), 0x8664: ('x86_64', (5, 2), 'XP x64')}
EXPORTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'xp_exports.txt')


def known_exports(arch):
    """{dll: set of function names} for one machine, from xp_exports.txt."""
    known, names = {}, None
    with open(EXPORTS) as f:
        for line in f:
            line = line.split('#', 1)[0].strip()
            if line.startswith('['):
                dll, *only = line[1:-1].lower().split()
                names = known.setdefault(dll, set()) if not only or only[0] == arch else set()
            elif line:
                names.update(line.split())
    return known


class Image:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from('<I', data, 0x3c)[0] if data[:2] == b'MZ' and len(data) >= 64 else 0
        if not pe or data[pe:pe + 4] != b'PE\0\0':
            raise ValueError('not a PE file')
        self.machine, sections, _, _, _, opt_size, _ = struct.unpack_from('<HHIIIHH', data, pe + 4)
        opt = pe + 24
        magic = struct.unpack_from('<H', data, opt)[0]
        self.wide = magic == 0x20b  # PE32+
        self.image_base = struct.unpack_from('<Q' if self.wide else '<I', data,
                                             opt + (24 if self.wide else 28))[0]
        os_major, os_minor, _, _, sub_major, sub_minor = struct.unpack_from('<6H', data, opt + 40)
        self.os_version, self.subsystem_version = (os_major, os_minor), (sub_major, sub_minor)
        dirs = opt + (112 if self.wide else 96)
        self.imports_rva = struct.unpack_from('<I', data, dirs + 1 * 8)[0]
        self.delay_rva, self.delay_size = struct.unpack_from('<II', data, dirs + 13 * 8)
        table = opt + opt_size
        self.sections = [struct.unpack_from('<IIII', data, table + 40 * i + 8)
                         for i in range(sections)]

    def offset(self, rva):
        for vsize, vaddr, rawsize, rawptr in self.sections:
            if vaddr <= rva < vaddr + max(vsize, rawsize):
                return rawptr + rva - vaddr
        raise ValueError(f'RVA {rva:#x} is in no section')

    def u32(self, rva, at=0):
        return struct.unpack_from('<I', self.data, self.offset(rva) + at)[0]

    def cstr(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b'\0', start)].decode('ascii')

    def thunks(self, rva):
        """The names (or '#ordinal') of one import name table."""
        size, ordinal_bit = (8, 1 << 63) if self.wide else (4, 1 << 31)
        while True:
            entry = struct.unpack_from('<Q' if self.wide else '<I', self.data, self.offset(rva))[0]
            if not entry:
                return
            if entry & ordinal_bit:
                yield f'#{entry & 0xffff}'
            else:
                yield self.cstr((entry & 0x7fffffff) + 2)  # past the hint
            rva += size

    def imports(self):
        """(dll, function, delay-loaded) for every import of the image."""
        rva = self.imports_rva
        while rva and any(struct.unpack_from('<5I', self.data, self.offset(rva))):
            names, _, _, dll, first = struct.unpack_from('<5I', self.data, self.offset(rva))
            for name in self.thunks(names or first):
                yield self.cstr(dll), name, False
            rva += 20
        # The delay-load directory. GNU ld 2.40 leaves it empty for dlltool's delay-import
        # libraries, so imports linked that way go unseen here.
        rva, end = self.delay_rva, self.delay_rva + self.delay_size
        while rva + 32 <= end and self.u32(rva, 4):
            attributes, dll, _, _, names = struct.unpack_from('<5I', self.data, self.offset(rva))
            if not attributes & 1:  # old-style descriptor: addresses, not RVAs
                dll, names = dll - self.image_base, names - self.image_base
            for name in self.thunks(names):
                yield self.cstr(dll), name, True
            rva += 32


def main(exe):
    with open(exe, 'rb') as f:
        image = Image(f.read())
    if image.machine not in MACHINES:
        print(f'xp imports: {exe}: machine {image.machine:#x} is neither i686 nor x86_64')
        return 1
    arch, highest, windows = MACHINES[image.machine]
    known = known_exports(arch)
    problems = []
    for field, found in (('operating-system version', image.os_version),
                         ('subsystem version', image.subsystem_version)):
        if found > highest:
            problems.append(f'{field} {found[0]}.{found[1]}, '
                            f'XP takes at most {highest[0]}.{highest[1]}')
    imports = sorted(set(image.imports()))
    for dll, name, delayed in imports:
        if name not in known.get(dll.lower(), ()):
            how = ' (delay-loaded)' if delayed else ''
            problems.append(f'{dll}!{name}{how} is not on {windows}')
    label = f'{os.path.basename(exe)} ({arch})'
    if problems:
        print(f'xp imports: {label} would not run on {windows}:')
        for problem in problems:
            print(f'  {problem}')
        return 1
    dlls = {dll.lower() for dll, _, _ in imports}
    print(f'xp imports: {label}: {len(imports)} functions from {len(dlls)} DLLs, all on {windows}; '
          f'OS {image.os_version[0]}.{image.os_version[1]}, '
          f'subsystem {image.subsystem_version[0]}.{image.subsystem_version[1]}')
    return 0


if __name__ == '__main__':
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1]))
