# Two windows on one diary kept in step by two Syncthing instances on 127.0.0.1; it skips,
# saying why, only where syncthing cannot run.
set_tests_properties(e2e_test_sync PROPERTIES
    LABELS "e2e;sync"
    SKIP_REGULAR_EXPRESSION "OK \\(skipped="
    ENVIRONMENT_MODIFICATION "PYTHONDONTWRITEBYTECODE=set:1")
