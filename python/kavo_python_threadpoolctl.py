"""kavo_python's thread pool for threadpoolctl.

kavo_python imports this module when it is imported itself. When
threadpoolctl is installed, the controller below is registered with it, so
that `threadpoolctl.threadpool_info()` lists the pool and
`threadpool_limits(n)` caps how many threads one kavo_python call runs on
(the calling thread and the pool's `drovek-worker-N` threads; the pool
keeps its size). Without threadpoolctl this module does nothing.

The controller reads and sets the limit through the two C functions the
extension exports, `kavo_get_num_threads` and `kavo_set_num_threads`. The
limit is per process, not per thread.
"""

import sys

try:
    from threadpoolctl import LibController, register
except ImportError:  # threadpoolctl is optional
    LibController = None


if LibController is not None:

    class KavoPythonController(LibController):
        """The pool of kavo_python's parallel calls."""

        user_api = "kavo_python"
        internal_api = "drovek"
        filename_prefixes = ("kavo_python",)
        check_symbols = ("kavo_get_num_threads", "kavo_set_num_threads")

        def get_num_threads(self):
            return self.dynlib.kavo_get_num_threads()

        def set_num_threads(self, num_threads):
            self.dynlib.kavo_set_num_threads(int(num_threads))

        def get_version(self):
            return getattr(sys.modules.get("kavo_python"), "__version__", None)

    register(KavoPythonController)
