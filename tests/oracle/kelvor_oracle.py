#!/usr/bin/env python3
"""An independent, deliberately plain transcription of a whole kelvor run, for cross-checking
the C++ program byte for byte on tiny data sets (it is far too slow for anything else).

Usage: kelvor_oracle.py <run directory> <seed offset> <hh:mm:ss>
Writes oracle.out (standard output), oracle.valdav and oracle.fort.* into the directory.
Python floats are IEEE doubles and math.tanh/exp/sqrt/log10 come from the C library.
"""
import math
import struct
import sys


def f32(x):
    return struct.unpack('f', struct.pack('f', x))[0]


def g24(v):
    if v != v:
        return ' ' * 21 + 'NaN'
    if v == 0.0:
        return '0.00000000000000'.rjust(19) + '     '
    m, e = ('%.14e' % abs(v)).split('e')
    e = int(e) + 1
    if 0 <= e <= 15:
        return ('%#.*f' % (15 - e, v)).rjust(19) + '     '
    digits = m.replace('.', '')
    s = ('-' if v < 0 else '') + '0.' + digits + 'E' + ('-' if e < 0 else '+') + '%03d' % abs(e)
    return s.rjust(24)


def d124(v):
    if v != v:
        return 'NaN'.rjust(12)
    if v == 0:
        return '0.0000D+00'.rjust(12)
    m, e = ('%.3e' % abs(v)).split('e')
    e = int(e) + 1
    return (('-' if v < 0 else '') + '0.' + m.replace('.', '') + 'D' + ('-' if e < 0 else '+') + '%02d' % abs(e)).rjust(12)


def i12(n):
    return str(n).rjust(12)


def tokens(line):
    return line.replace(',', ' ').split()


def main():
    wd, offset, hms = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    hh, mm, ss = (int(x) for x in hms.split(':'))
    out, rep = [], []
    cfg = [l for l in open(wd + '/kelvor.in').read().split('\n') if l.strip()]
    epochs, req = int(tokens(cfg[0])[0]), int(tokens(cfg[1])[0])
    rate, mom, gain, dcay = (float(tokens(cfg[i])[0]) for i in (3, 4, 5, 6))
    fold, frac = int(tokens(cfg[7])[0]), float(tokens(cfg[8])[0])
    listname = cfg[9].split("'")[1]
    lines = open(wd + '/' + listname).read().split('\n')
    if lines and lines[-1] == '':
        lines.pop()
    rnd = lambda x: int(x + 0.5) if x >= 0 else int(x - 0.5)
    n = req
    if req > len(lines):
        out.append(' Protein set too small for number of proteins selected, using full set.')
        n = len(lines)
    t = rnd(n * frac)
    ntrval = n - t
    ntrain = n - t - rnd((n - t) * 0.05)
    hi = rnd((fold * frac) * n)
    lo = hi - t
    order = [0] * n
    front, back = 1, ntrval + 1
    for j in range(1, n + 1):
        if lo < j <= hi:
            order[back - 1] = j; back += 1
        else:
            order[front - 1] = j; front += 1
    names = [lines[order[i] - 1].rstrip(' ') for i in range(n)]

    # seed and draws
    A = f32(hh / f32(1.74)); B = f32(mm / f32(4.35)); c28 = f32(2.8)
    k = int(math.exp(ss / c28)) % 61
    tt = offset + math.exp(A) + math.exp(B) + math.exp(k / c28)
    L = int(math.log10(tt))
    p = 10 ** L if L >= 0 else 0
    seed = int(k / c28 + abs(p * (tt - int(tt)) - tt))
    out.append(' random seed = ' + i12(seed))

    def randnm():
        nonlocal seed
        a = seed
        if a <= 0:
            a += 2147483647
        seed = (16807 * a) % 2147483647
        return a / 2147483711

    W1 = {}; O1 = {}
    for i in range(1, 23):
        for f in range(1, 31):
            for h in range(1, 102):
                r = randnm(); W1[i, f, h] = r - 0.5; O1[i, f, h] = (r - 0.5) / 10
    W2 = {}; O2 = {}
    for m in range(1, 103):
        for kk in range(1, 102):
            r = randnm(); W2[m, kk] = r - 0.5; O2[m, kk] = (r - 0.5) / 10
    P = {}; OP = {}
    for m in range(1, 103):
        for c in range(1, 4):
            r = randnm(); P[m, c] = r - 0.5; OP[m, c] = (r - 0.5) / 10
    F1 = {}; OF1 = {}
    for i in range(1, 23):
        for c in range(1, 4):
            for h in range(1, 22):
                r = randnm(); F1[i, c, h] = r - 0.5; OF1[i, c, h] = (r - 0.5) / 10
    F2 = {}; OF2 = {}
    for m in range(1, 23):
        for c in range(1, 4):
            r = randnm(); F2[m, c] = r - 0.5; OF2[m, c] = (r - 0.5) / 10
    q = lambda d: dcay / math.sqrt(1 + d * d)
    DIN = {(i, h): q((1 - i) + 0.2 * (h - 1)) for i in range(1, 22) for h in range(1, 102)}
    DHID = {(m, kk): dcay / math.sqrt(1 + 0.04000000000000001 * ((m - kk) ** 2)) for m in range(1, 102) for kk in range(1, 102)}
    DOUT = {m: q(0.2 * (m - 51)) for m in range(1, 102)}
    FDIN = {(i, h): q(h - i) for i in range(1, 22) for h in range(1, 22)}
    FDOUT = {m: q(m - 11) for m in range(1, 22)}

    # data set
    alpha = 'RKDENQHYWSTGPAMCFLVIBZ'
    phys = [[0.105, 0.373, 0.466, -0.9, 0.9, 0.528, -0.371], [-0.088, 0.066, 0.163, -0.889, 0.727, 0.279, -0.265],
            [-0.213, -0.417, -0.281, -0.767, -0.9, -0.155, -0.635], [-0.23, -0.241, -0.058, -0.696, -0.868, 0.9, -0.582],
            [-0.213, -0.329, -0.243, -0.674, -0.075, -0.403, -0.529], [-0.23, -0.11, -0.02, -0.464, -0.276, 0.528, -0.371],
            [0.384, 0.11, 0.138, -0.271, 0.195, -0.031, -0.106], [0.363, 0.417, 0.541, 0.188, -0.274, -0.155, 0.476],
            [0.479, 0.9, 0.9, 0.9, -0.209, 0.279, 0.529], [-0.337, -0.637, -0.544, -0.364, -0.265, -0.466, -0.212],
            [0.402, -0.417, -0.321, -0.199, -0.288, -0.403, 0.212], [-0.9, -0.9, -0.9, -0.342, -0.179, -0.9, -0.9],
            [0.247, -0.9, -0.294, 0.055, -0.01, -0.9, 0.106], [-0.35, -0.68, -0.677, -0.171, -0.17, 0.9, -0.476],
            [0.11, 0.066, 0.087, 0.337, -0.262, 0.652, -0.001], [-0.14, -0.329, -0.359, 0.508, -0.114, -0.652, 0.476],
            [0.363, 0.373, 0.412, 0.646, -0.272, 0.155, 0.318], [0.213, -0.066, -0.009, 0.596, -0.186, 0.714, -0.053],
            [0.677, -0.285, -0.232, 0.331, -0.191, -0.031, 0.9], [0.9, -0.066, -0.009, 0.652, -0.186, 0.155, 0.688]]
    phys += [phys[2], phys[3]]
    asa = dict(zip('RKDENQHYWSTGPAMCFLVI', [271, 257, 183, 286, 188, 215, 238, 250, 260, 181, 192, 136, 170, 169, 236, 139, 221, 221, 171, 210]))
    X, T, CODE, WLO, WHI = [None], [None], [None], [0], [0]
    ntatrain = ntatrval = 0
    for ix, name in enumerate(names, 1):
        d = [tokens(l) for l in open(wd + '/dssp_data/' + name).read().split('\n') if l.strip()]
        pr = [tokens(l) for l in open(wd + '/new_prf/' + name + '.mat').read().split('\n')[3:] if l.strip()]
        kv = [tokens(l) for l in open(wd + '/kvqout/' + name + '.kvqout').read().split('\n')[1:] if l.strip()]
        cnt = min(len(d), len(pr), len(kv))
        start = len(X)
        for j in range(cnt):
            aa, s = d[j][1][0], d[j][3][0]
            assert pr[j][1][0] == aa and kv[j][1][0] == aa
            prof = [float(x) for x in pr[j][2:22]]
            nums = [float(x) for x in kv[j][3:11]]
            row = [f32(phys[alpha.index(aa)][kk]) / 0.9 for kk in range(7)]
            row += [v / 9.0 for v in prof]
            row.append((nums[7] / asa[aa] - 0.5) * 2)
            row.append(nums[0] / 180)
            x = (nums[1] + 180) / 360
            x = x - 0.1389 if x > 0.1389 else x + 0.8611
            row.append((x - 0.5) * 2)
            X.append(row)
            T.append({'E': (1.0, -1.0, -1.0), 'C': (-1.0, 1.0, -1.0), 'H': (-1.0, -1.0, 1.0)}[s])
            CODE.append({'E': -0.6, 'C': -0.2, 'H': 0.5}[s])
        for kk in range(1, cnt + 1):
            WLO.append(max(11 - kk + 1, 1)); WHI.append(min(11 + cnt - kk, 21))
        if ix == ntrain:
            ntatrain = len(X) - 1
        if ix == ntrval:
            ntatrval = len(X) - 1
    nta = len(X) - 1
    banner = ' -------------------quandel-------------------'
    out.append(banner); rep.append(banner)

    outs = [None] * (nta + 1)
    SS = [0.0] * (nta + 1)
    xin = {}

    def code(o1, o2, o3):
        if o3 >= o2:
            return 0.5 if o3 >= o1 else -0.6
        return -0.2 if o2 > o1 else -0.6

    st = {}

    def fwd(nn):
        for i in range(WLO[nn], WHI[nn] + 1):
            for f in range(1, 31):
                xin[i, f] = X[nn + i - 11][f - 1]
        h1 = {}
        for h in range(1, 102):
            s = 0.0
            for i in range(WLO[nn], WHI[nn] + 1):
                for f in range(1, 31):
                    s += (xin[i, f] * W1[i, f, h]) * DIN[i, h]
            s += W1[22, 1, h] * 1.0
            h1[h] = math.tanh(gain * s)
        h1[102] = 1.0
        h2 = {}
        for kk in range(1, 102):
            s = 0.0
            for m in range(1, 102):
                s += (h1[m] * W2[m, kk]) * DHID[m, kk]
            s += W2[102, kk] * h1[102]
            h2[kk] = math.tanh(gain * s)
        h2[102] = 1.0
        o = []
        for c in range(1, 4):
            s = 0.0
            for m in range(1, 102):
                s += (h2[m] * P[m, c]) * DOUT[m]
            s += P[102, c] * h2[102]
            o.append(math.tanh(gain * s))
        outs[nn] = o
        SS[nn] += code(*o)
        st['h1'], st['h2'] = h1, h2

    def upd(w, p, key, g):
        dl = rate * g + mom * p[key]
        w[key] = w[key] + dl
        p[key] = dl

    def bp(nn):
        h1, h2, o, tg = st['h1'], st['h2'], outs[nn], T[nn]
        b2 = {c: gain * (tg[c - 1] - o[c - 1]) * (1 - o[c - 1] * o[c - 1]) for c in (1, 2, 3)}
        e2 = {(m, c): b2[c] * DOUT[m] for m in range(1, 102) for c in (1, 2, 3)}
        bh2 = {}
        eh2 = {}
        for kk in range(1, 102):
            s = 0.0
            for c in (1, 2, 3):
                s += P[kk, c] * e2[kk, c]
            bh2[kk] = gain * (1 - h2[kk] * h2[kk]) * s
            for m in range(1, 102):
                eh2[m, kk] = bh2[kk] * DHID[m, kk]
        for h in range(1, 102):
            s = 0.0
            for kk in range(1, 102):
                s += W2[h, kk] * eh2[h, kk]
            bh1 = gain * (1 - h1[h] * h1[h]) * s
            for i in range(WLO[nn], WHI[nn] + 1):
                e1 = bh1 * DIN[i, h]
                for f in range(1, 31):
                    upd(W1, O1, (i, f, h), e1 * xin[i, f])
            upd(W1, O1, (22, 1, h), bh1)
        for kk in range(1, 102):
            for m in range(1, 102):
                upd(W2, O2, (m, kk), eh2[m, kk] * h1[m])
            upd(W2, O2, (102, kk), bh2[kk])
            for c in (1, 2, 3):
                upd(P, OP, (kk, c), e2[kk, c] * h2[kk])
        for c in (1, 2, 3):
            upd(P, OP, (102, c), b2[c])

    fst = {}

    def fwdf(nn):
        fin = {}
        for i in range(WLO[nn], WHI[nn] + 1):
            for c in (1, 2, 3):
                fin[i, c] = outs[nn + i - 11][c - 1]
        fh = {}
        for h in range(1, 22):
            s = 0.0
            for i in range(WLO[nn], WHI[nn] + 1):
                for c in (1, 2, 3):
                    s += (fin[i, c] * F1[i, c, h]) * FDIN[i, h]
            s += F1[22, 1, h]
            fh[h] = math.tanh(gain * s)
        fh[22] = 1.0
        fo = []
        for c in (1, 2, 3):
            s = 0.0
            for m in range(1, 22):
                s += (fh[m] * F2[m, c]) * FDOUT[m]
            s += F2[22, c] * fh[22]
            fo.append(math.tanh(gain * s))
        SS[nn] += code(*fo)
        fst['fin'], fst['fh'], fst['fo'] = fin, fh, fo

    def bpf(nn):
        fin, fh, fo, tg = fst['fin'], fst['fh'], fst['fo'], T[nn]
        b2 = {c: gain * (tg[c - 1] - fo[c - 1]) * (1 - fo[c - 1] * fo[c - 1]) for c in (1, 2, 3)}
        e2 = {(m, c): b2[c] * FDOUT[m] for m in range(1, 22) for c in (1, 2, 3)}
        for h in range(1, 22):
            s = 0.0
            for c in (1, 2, 3):
                s += F2[h, c] * e2[h, c]
            bh = gain * (1 - fh[h] * fh[h]) * s
            for i in range(WLO[nn], WHI[nn] + 1):
                e1 = bh * FDIN[i, h]
                for c in (1, 2, 3):
                    upd(F1, OF1, (i, c, h), e1 * fin[i, c])
            upd(F1, OF1, (22, 1, h), bh)
        for m in range(1, 22):
            for c in (1, 2, 3):
                upd(F2, OF2, (m, c), e2[m, c] * fh[m])
        for c in (1, 2, 3):
            upd(F2, OF2, (22, c), b2[c])

    def calcerr(a, b):
        cnt = 0.0
        for i in range(a, b + 1):
            if not abs(SS[i] - CODE[i]) > 0.1:
                cnt += 1
        try:
            return cnt / float(b - a + 1)
        except ZeroDivisionError:
            return float('nan')

    files = {}

    def save(first):
        if first:
            files['77'] = ''.join(' ' + g24(W1[i, f, h]) + '\n' for i in range(1, 23) for f in range(1, 31) for h in range(1, 102))
            files['78'] = ''.join(' ' + g24(W2[m, kk]) + '\n' for m in range(1, 103) for kk in range(1, 102))
            files['79'] = ''.join(' ' + g24(P[m, 1]) + g24(P[m, 2]) + g24(P[m, 3]) + '\n' for m in range(1, 103))
        else:
            files['87'] = ''.join(' ' + g24(F1[i, c, h]) + '\n' for i in range(1, 23) for c in (1, 2, 3) for h in range(1, 22))
            files['88'] = ''.join(' ' + g24(F2[m, c]) + '\n' for m in range(1, 23) for c in (1, 2, 3))

    def load(first):
        vals = lambda key: [float(l.split()[0]) for l in files[key].split('\n') if l.strip()]
        if first:
            v = iter(vals('77'))
            for i in range(1, 23):
                for f in range(1, 31):
                    for h in range(1, 102):
                        W1[i, f, h] = next(v)
            v = iter(vals('78'))
            for m in range(1, 103):
                for kk in range(1, 102):
                    W2[m, kk] = next(v)
            rows = [[float(x) for x in l.split()] for l in files['79'].split('\n') if l.strip()]
            for m in range(1, 103):
                for c in (1, 2, 3):
                    P[m, c] = rows[m - 1][c - 1]
        else:
            v = iter(vals('87'))
            for i in range(1, 23):
                for c in (1, 2, 3):
                    for h in range(1, 22):
                        F1[i, c, h] = next(v)
            v = iter(vals('88'))
            for m in range(1, 23):
                for c in (1, 2, 3):
                    F2[m, c] = next(v)

    for first in (True, False):
        f_fwd, f_bp = (fwd, bp) if first else (fwdf, bpf)
        e = 1
        if epochs > 0:
            best, stale = -20.0, 0
            e = 1
            while e <= epochs:
                for i in range(nta + 1):
                    SS[i] = 0.0
                for kk in range(1, ntatrain + 1):
                    f_fwd(kk); f_bp(kk)
                for kk in range(ntatrain + 1, ntatrval + 1):
                    f_fwd(kk)
                for kk in range(ntatrval + 1, nta + 1):
                    f_fwd(kk); f_bp(kk)
                a, b, c = calcerr(1, ntatrain), calcerr(ntatrain + 1, ntatrval), calcerr(ntatrval + 1, nta)
                rep.append('%6d' % e + '  ' + d124(a) + '  ' + d124(b) + '  ' + d124(c))
                if b > best:
                    save(first); best = b; stale = 0
                else:
                    stale += 1
                    if stale > 100:
                        out.append(' ' + i12(e) + i12(req) + g24(best)); break
                e += 1
        load(first)
        for i in range(nta + 1):
            SS[i] = 0.0
        for kk in range(1, nta + 1):
            f_fwd(kk)
        sc = calcerr(ntatrval + 1, nta)
        out.append(' Q10P:' + g24(sc))
        rep += [' ', ' #Cross Validation', ' #----------------', ' ' + i12(e) + g24(sc), ' ']
        if first:
            rep += [' #After filter', ' #------------']
            out += [' #After filter', ' #------------']
    open(wd + '/oracle.out', 'w').write(''.join(l + '\n' for l in out))
    open(wd + '/oracle.valdav', 'w').write(''.join(l + '\n' for l in rep))
    for key, text in files.items():
        open(wd + '/oracle.fort.' + key, 'w').write(text)


if __name__ == '__main__':
    main()
