"""kavo_python kernels per chunk in Dask array graphs on a dask.distributed cluster.

The cluster's workers are separate processes (nothing of this process's
executor or allocator is inherited); each imports kavo_python and runs the
kernels on the NumPy chunks Dask hands it, with the interpreter lock released.
Every graph is built twice, once with kavo_python's functions and once with
NumPy's, and the two results are compared:

  elementwise  (x + y) * y chunk by chunk with kp.add / kp.mul: bit-identical
  reduction    kp.sum per chunk, then Dask's tree reduction of the partials
  product      each output block the sum over k of kp.matmul(A[i, k], B[k, j])

Each graph is run once to warm the workers (functions shipped, kavo's
thread pool and allocator started), then timed --repeat times, kavo and
NumPy alternately, and the medians are printed.

Run `python examples/dask_blockwise.py` (several GiB of float32 in total) or
with `--small` for a quick check (chunks of a few MiB).
"""

import argparse
import logging
import os
import statistics
import sys
import time

import dask
import dask.array as da
import numpy as np
from dask.distributed import Client, LocalCluster

import kavo_python as kp


def ready(block):
    """The block as kavo_python requires it: C-contiguous and aligned. Blocks
    that travelled between workers can arrive as views into a network frame
    at any byte offset; np.require copies only those (and strided views)."""
    return np.require(block, requirements=["C_CONTIGUOUS", "ALIGNED"])


def kavo_add(a, b):
    return kp.add(ready(a), ready(b))


def kavo_mul(a, b):
    return kp.mul(ready(a), ready(b))


def chunk_sum(block, total):
    """One 1 x 1 block holding the chunk's sum, so Dask's own tree
    reduction (a plain .sum()) combines the partials."""
    return np.array([[total(ready(block))]], dtype=np.float64)


def kavo_partial(block):
    return chunk_sum(block, kp.sum)


def numpy_partial(block):
    return chunk_sum(block, lambda b: b.sum(dtype=np.float32))


def block_product(a_blocks, b_blocks, multiply, add):
    """Output block (i, j): the sum over k of A[i, k] @ B[k, j], in k order."""
    total = None
    for a, b in zip(a_blocks, b_blocks):
        product = multiply(ready(a), ready(b))
        total = product if total is None else add(total, product)
    return total


def kavo_block_product(a_blocks, b_blocks):
    return block_product(a_blocks, b_blocks, kp.matmul, kp.add)


def numpy_block_product(a_blocks, b_blocks):
    return block_product(a_blocks, b_blocks, np.matmul, np.add)


def blockwise_matmul(a, b, block_function):
    return da.blockwise(
        block_function, "ij", a, "ik", b, "kj", dtype=np.float32, concatenate=False, adjust_chunks=None
    )


def paired_medians(kavo_compute, numpy_compute, repeats):
    """Both graphs computed once to warm the workers, then `repeats` times
    alternately: the results of the last runs and the median seconds of each."""
    results = [kavo_compute(), numpy_compute()]
    seconds = [[], []]
    for _ in range(repeats):
        for side, compute in enumerate((kavo_compute, numpy_compute)):
            start = time.perf_counter()
            results[side] = compute()
            seconds[side].append(time.perf_counter() - start)
    return results[0], results[1], statistics.median(seconds[0]), statistics.median(seconds[1])


# Dask starts each worker with malloc's trim threshold at 64 KiB, which also
# fixes glibc's mmap threshold at its 128 KiB default: every chunk-sized
# result is then fresh memory from the kernel, whose page faults and zeroing
# cost more than an elementwise kernel's arithmetic. Workers here keep freed
# memory (up to 256 MiB at the top of the heap) and serve blocks below 32 MiB,
# glibc's largest mmap threshold, from the heap, so the next chunk's result
# reuses the pages of the last.
WORKER_MALLOC = {"MALLOC_TRIM_THRESHOLD_": str(256 << 20), "MALLOC_MMAP_THRESHOLD_": str(32 << 20)}


def run(rows, cols, chunk, product_order, product_chunk, workers, repeats):
    # One Dask thread per worker process, and Dask already starts each worker
    # with one BLAS thread: give each worker's kavo pool one thread too, or
    # the pools of all workers oversubscribe the cores. The workers inherit
    # this process's environment when they start.
    os.environ.setdefault("KAVO_NUM_THREADS", "1")
    worker_environment = {**dask.config.get("distributed.nanny.pre-spawn-environ"), **WORKER_MALLOC}
    with dask.config.set({"distributed.nanny.pre-spawn-environ": worker_environment}), LocalCluster(
        n_workers=workers,
        threads_per_worker=1,
        processes=True,
        dashboard_address=None,
        silence_logs=logging.CRITICAL,  # workers' heartbeats racing the shutdown are not errors here
    ) as cluster:
        with Client(cluster) as client:
            x = da.random.default_rng(1).standard_normal((rows, cols), chunks=chunk, dtype=np.float32)
            y = da.random.default_rng(2).standard_normal((rows, cols), chunks=chunk, dtype=np.float32)
            x, y = client.persist([x, y])  # both graphs read the same chunks
            gib = 2 * x.nbytes / 2**30
            print(f"cluster: {workers} worker processes, KAVO_NUM_THREADS={os.environ['KAVO_NUM_THREADS']}, "
                  f"MALLOC_TRIM_THRESHOLD_={WORKER_MALLOC['MALLOC_TRIM_THRESHOLD_']}, "
                  f"MALLOC_MMAP_THRESHOLD_={WORKER_MALLOC['MALLOC_MMAP_THRESHOLD_']}; x, y: {rows} x {cols} float32 in chunks of {chunk[0]} x {chunk[1]} "
                  f"({gib:.2f} GiB in total)")

            kavo_elementwise = da.map_blocks(kavo_mul, da.map_blocks(kavo_add, x, y), y)
            numpy_elementwise = (x + y) * y
            same = bool((kavo_elementwise == numpy_elementwise).all().compute())
            print(f"elementwise (x + y) * y: bit-identical = {same}")

            kavo_total, numpy_total, kavo_seconds, numpy_seconds = paired_medians(
                lambda: float(kavo_elementwise.map_blocks(kavo_partial, chunks=(1, 1), dtype=np.float64).sum().compute()),
                lambda: float(numpy_elementwise.map_blocks(numpy_partial, chunks=(1, 1), dtype=np.float64).sum().compute()),
                repeats,
            )
            count = rows * cols
            # Each chunk's float32 sum carries about eps32 * sqrt(chunk size) * scale of error.
            tolerance = 1e-5 * max(abs(numpy_total), count ** 0.5)
            sums_agree = abs(kavo_total - numpy_total) <= tolerance
            print(f"sum of (x + y) * y: kavo {kavo_total:.6e}, numpy {numpy_total:.6e}, agree = {sums_agree}")
            print(f"  median time of {repeats}, elementwise + sum graph: kavo {kavo_seconds:.3f} s, numpy {numpy_seconds:.3f} s")

            a = da.random.default_rng(3).standard_normal((product_order, product_order), chunks=product_chunk,
                                                          dtype=np.float32)
            b = da.random.default_rng(4).standard_normal((product_order, product_order), chunks=product_chunk,
                                                          dtype=np.float32)
            a, b = client.persist([a, b])
            kavo_c, numpy_c, kavo_product_seconds, numpy_product_seconds = paired_medians(
                lambda: blockwise_matmul(a, b, kavo_block_product).compute(),
                lambda: blockwise_matmul(a, b, numpy_block_product).compute(),
                repeats,
            )
            # Products of order n in float32: errors grow like eps32 * sqrt(n).
            scale = np.abs(numpy_c).max()
            products_agree = bool(np.abs(kavo_c - numpy_c).max() <= 1e-5 * np.sqrt(product_order) * scale)
            print(f"blockwise matmul {product_order} x {product_order} in blocks of {product_chunk}: agree = {products_agree}")
            print(f"  median time of {repeats}: kavo {kavo_product_seconds:.3f} s, numpy {numpy_product_seconds:.3f} s")

            ok = same and sums_agree and products_agree
            print("all results agree with the NumPy graph" if ok else "MISMATCH against the NumPy graph")
            return 0 if ok else 1


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--small", action="store_true", help="chunks of a few MiB, for a quick check")
    parser.add_argument("--workers", type=int, default=2, help="worker processes")
    parser.add_argument("--repeat", type=int, default=3, help="timed runs of each graph (after one warm run)")
    args = parser.parse_args(argv)
    if args.small:
        return run(2048, 2048, (1024, 1024), 1024, 512, args.workers, args.repeat)
    # Two arrays of 2 GiB each in chunks of 16 MiB (below the workers' mmap
    # threshold); a product of order 4096 in blocks of 1024.
    return run(32768, 16384, (2048, 2048), 4096, 1024, args.workers, args.repeat)


if __name__ == "__main__":
    sys.exit(main())
