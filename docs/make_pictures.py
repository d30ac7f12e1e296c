"""Draws the README's pictures into docs/images: run `python docs/make_pictures.py`."""

from pathlib import Path

import matplotlib
import numpy as np

import kaltrope as kt

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

IMAGES = Path(__file__).parent / "images"


def main() -> None:
    IMAGES.mkdir(exist_ok=True)
    rng = np.random.default_rng(11)
    walk = np.cumsum(rng.normal(size=120))
    walk -= walk.min() - 0.5
    figure, (natural, horizontal) = plt.subplots(2, 1, figsize=(9, 6), sharex=True)
    kt.plot(walk, kind="natural", ax=natural)
    kt.plot(walk, kind="horizontal", ax=horizontal)
    natural.set_title("A random walk of 120 samples and its visibility lines")
    figure.tight_layout()
    figure.savefig(IMAGES / "visibility_lines.png", dpi=100)

    figure, ax = plt.subplots(figsize=(6, 4))
    noise = kt.horizontal_visibility_edges(rng.random(100_000))
    kt.plot_degree_distribution(noise, ax=ax)
    ax.set_title("Horizontal visibility graph of 100,000 uniform samples")
    figure.tight_layout()
    figure.savefig(IMAGES / "degree_distribution.png", dpi=100)


if __name__ == "__main__":
    main()
