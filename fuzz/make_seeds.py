#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets to fuzz/corpus/<target>/ (run from anywhere)."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def put(target, name, data):
    folder = os.path.join(HERE, 'corpus', target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data if isinstance(data, bytes) else data.encode('utf-8'))


def recording(levels, sweeps, name=b'TEV-R1', kind=b'analyser', fmin=1e6, fmax=2e6):
    """A .rec file: magic, version, the 96-byte header block, then the sweeps."""
    head = struct.pack('<4sIIffIqq32s32s', b'TREC', 1, levels, fmin, fmax, len(sweeps),
                       1_700_000_000_000_000, 1_700_000_060_000_000, name, kind)
    body = b''.join(struct.pack('<q', t) + struct.pack('<%df' % levels, *lv) for t, lv in sweeps)
    return head + body


put('recfile', 'one_sweep.rec', recording(4, [(1_700_000_000_000_000, [-90, -80.5, -70, -60])]))
put('recfile', 'three_sweeps.rec',
    recording(2, [(i, [-100.0 + i, -50.0 - i]) for i in range(3)]))
put('recfile', 'no_sweeps.rec', recording(1, []))
put('recfile', 'truncated.rec', recording(4, [(0, [1, 2, 3, 4])])[:-3])
put('recfile', 'wrong_magic.rec', b'XREC' + recording(1, [])[4:])

put('settings', 'frontend.ini', 'RecordingPath=/data/recordings\nReportPath=c:\\\\temp\n')
put('settings', 'application.ini',
    '[Settings]\nFileOpenPath=file:/data\nFiles1=/data/a.rec\nFiles2=mirel:/camp/b.rec\n'
    '[Mirel]\nServer=http://127.0.0.1:8000/\nStallTimeoutMs=500\n')
put('settings', 'quoted.ini', '; comment\n[MenuSettings]\nFiles1="a, b", c\nFiles9=@Invalid()\n'
    'Server=line \\\n continued\n')
put('settings', 'unterminated.ini', '[Settings\nFileOpenPath=x\n')
put('settings', 'literal.ini',
    '\ufeff# typed by hand\r\n[Settings]\r\nFileOpenPath = D:\\Data\\Rec \r\n'
    'Files1=@String(/data/a\\nb.rec)\r\nFiles2="/data/run 1, take 2.rec"\r\n'
    '[%General]\r\nShow%20Grid=@@x\r\n')
put('settings', 'torn.ini', b'[Settings]\nFiles1=/data/a.rec\n\x00\x00\x00\x00')

put('mirelurl', 'absolute', 'mirel:/campaign/2026/run1.rec')
put('mirelurl', 'relative', 'mirel:campaign/run1.rec')
put('mirelurl', 'traversal', 'mirel:/campaign/../../etc/passwd')
put('mirelurl', 'backslash', 'mirel:/a\\..\\b:c/%2e%2e')
put('mirelurl', 'unicode', 'MIREL://host/Gr\u00fc\u00dfe/./x.rec')
