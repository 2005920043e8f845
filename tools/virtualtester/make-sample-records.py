#!/usr/bin/env python3
"""Writes sample-records.csv: the memory of a PV installation tester after a
few days of commissioning work, as the virtual tester sends it.

Deterministic (fixed seed), so the committed file can be regenerated.
Usage: make-sample-records.py [OUTPUT]
"""
import math
import random
import sys
from datetime import datetime, timedelta

HEADER = ("No.,Date,Time,Site,String,Test,Voc [V],Isc [A],Vmpp [V],Impp [A],Pmax [W],FF,"
          "Riso+ [MOhm],Riso- [MOhm],Test voltage [V],Rpe [Ohm],Irr [W/m2],Tmod [degC],Result")

# Site, first day, start hour, inverters, strings per inverter, modules per string.
SITES = [
    ("SCHOOL-GYM", datetime(2024, 5, 14, 9, 12, 5), 3, 6, 18),
    ("FARM-BARN-2", datetime(2024, 5, 15, 8, 41, 50), 2, 8, 16),
    ("CARPORT-B", datetime(2024, 5, 16, 10, 3, 17), 1, 6, 14),
    ("HALL-EAST", datetime(2024, 5, 17, 8, 55, 2), 2, 7, 20),
    ("DEPOT-NORTH", datetime(2024, 5, 21, 9, 30, 44), 3, 7, 17),
]

# Module at standard test conditions.
VOC_STC, ISC_STC, VMPP_STC, IMPP_STC = 41.3, 13.92, 34.6, 13.01
TK_VOC, TK_ISC = -0.0027, 0.0005


def irradiance(when, cloudy):
    hour = when.hour + when.minute / 60
    sun = math.sin(math.pi * (hour - 5.5) / 15) if 5.5 < hour < 20.5 else 0
    g = 1080 * sun ** 1.3
    if cloudy:
        g *= random.uniform(0.45, 0.8)
    return max(120, g * random.uniform(0.97, 1.03))


def string_values(modules, g, t, fault):
    n = modules - (1 if fault == "missing-module" else 0)
    voc = n * VOC_STC * (1 + TK_VOC * (t - 25)) * (1 + 0.028 * math.log(g / 1000))
    isc = ISC_STC * g / 1000 * (1 + TK_ISC * (t - 25))
    vmpp = voc * VMPP_STC / VOC_STC * random.uniform(0.985, 1.005)
    impp = isc * IMPP_STC / ISC_STC * random.uniform(0.985, 1.005)
    if fault == "shading":
        impp *= 0.82
    return voc * random.uniform(0.995, 1.005), isc * random.uniform(0.99, 1.01), vmpp, impp


def main():
    random.seed(20240514)
    out = sys.argv[1] if len(sys.argv) > 1 else "sample-records.csv"
    lines = [HEADER]
    number = 0
    faults = {("FARM-BARN-2", "INV2.S05"): "missing-module",
              ("HALL-EAST", "INV1.S03"): "shading",
              ("SCHOOL-GYM", "INV3.S02"): "insulation",
              ("CARPORT-B", "INV1.S04"): "earth"}

    def record(when, site, string, test, fields, result):
        nonlocal number
        number += 1
        row = [str(number), when.strftime("%d.%m.%Y"), when.strftime("%H:%M:%S"), site, string,
               test] + fields + [result]
        lines.append(",".join(row))

    for site, when, inverters, strings, modules in SITES:
        cloudy = random.random() < 0.4
        ambient = random.uniform(13, 24)
        for inv in range(1, inverters + 1):
            for s in range(1, strings + 1):
                name = f"INV{inv}.S{s:02d}"
                fault = faults.get((site, name))
                g = irradiance(when, cloudy)
                t = ambient + 0.028 * g + random.uniform(-1, 1)
                empty_iv = [""] * 6

                rpe = random.uniform(0.04, 0.32) if fault != "earth" else random.uniform(1.6, 2.4)
                record(when, site, name, "CONT", empty_iv + ["", "", "", f"{rpe:.2f}", "", ""],
                       "PASS" if rpe <= 1.0 else "FAIL")
                when += timedelta(seconds=random.randint(25, 70))

                voc, isc, vmpp, impp = string_values(modules, g, t, fault)
                expected = modules * VOC_STC * (1 + TK_VOC * (t - 25))
                ok = abs(voc - expected) / expected < 0.05
                record(when, site, name, "VOC/ISC",
                       [f"{voc:.1f}", f"{isc:.2f}"] + [""] * 8 + [f"{g:.0f}", f"{t:.1f}"],
                       "PASS" if ok else "FAIL")
                when += timedelta(seconds=random.randint(20, 45))

                test_voltage = 1000 if modules * VOC_STC > 500 else 500
                def riso():
                    if random.random() < 0.3:
                        return ">999.9"
                    value = random.lognormvariate(math.log(180), 0.9)
                    return f"{value:.1f}" if value < 999.95 else ">999.9"
                plus, minus = riso(), riso()
                if fault == "insulation":
                    minus = f"{random.uniform(0.3, 0.8):.2f}"
                low = min(float(v.lstrip(">")) for v in (plus, minus))
                record(when, site, name, "ISO",
                       [""] * 6 + [plus, minus, str(test_voltage), "", "", ""],
                       "PASS" if low >= 1.0 else "FAIL")
                when += timedelta(seconds=random.randint(40, 95))

                g = irradiance(when, cloudy)
                voc, isc, vmpp, impp = string_values(modules, g, t, fault)
                pmax = vmpp * impp
                ff = pmax / (voc * isc)
                record(when, site, name, "IV",
                       [f"{voc:.1f}", f"{isc:.2f}", f"{vmpp:.1f}", f"{impp:.2f}", f"{pmax:.0f}",
                        f"{ff:.3f}"] + [""] * 4 + [f"{g:.0f}", f"{t:.1f}"],
                       "PASS" if ff > 0.7 and ok else "FAIL")
                when += timedelta(seconds=random.randint(60, 200))

    with open(out, "w", newline="") as f:
        f.write("\r\n".join(lines) + "\r\n")
    print(f"{out}: {number} records, {sum(len(l) + 2 for l in lines)} bytes")


if __name__ == "__main__":
    main()
