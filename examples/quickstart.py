"""Visibility graphs of a generated series: the edges, the engine choice and a batch."""

import numpy as np

import kaltrope as kt

rng = np.random.default_rng(7)
series = np.cumsum(rng.normal(size=100_000))

plan = kt.natural_visibility_plan(series)
natural = kt.natural_visibility_edges(series)
horizontal = kt.horizontal_visibility_edges(series)
print(f"random walk of {series.size} samples")
print(f"  natural visibility:    {len(natural):>8} edges ({plan['algorithm']} engine, scan work {plan['scan_work']})")
print(f"  horizontal visibility: {len(horizontal):>8} edges")

degree = np.bincount(natural.ravel(), minlength=series.size)
print(f"  natural degree: mean {degree.mean():.2f}, max {degree.max()} at sample {degree.argmax()}")

batch = rng.random((1000, 256))
edges, offsets = kt.natural_visibility_batch(batch)
print(f"batch of {len(batch)} series: {len(edges)} edges, series 0 has {offsets[1] - offsets[0]}")
