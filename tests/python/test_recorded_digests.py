"""Every result keeps its recorded bits on every processor tier this machine
runs (see digest_cases.py for the table and how to re-record it)."""

import json

import pytest

from digest_cases import RECORDED, TIERS, tier_table


@pytest.mark.parametrize("tier", TIERS)
def test_every_result_keeps_its_recorded_bits(tier):
    recorded = json.loads(RECORDED.read_text())
    if tier not in recorded:
        pytest.skip(f"no digests recorded for tier {tier}")
    digests, error = tier_table(tier)
    if digests is None:
        if "cannot run that tier" in error:
            pytest.skip(f"this processor cannot run tier {tier}")
        pytest.fail(error)
    expected = recorded[tier]
    assert digests.keys() == expected.keys()
    changed = [name for name in expected if digests[name] != expected[name]]
    assert not changed, f"{len(changed)} results changed on tier {tier}: " + ", ".join(changed[:20])
