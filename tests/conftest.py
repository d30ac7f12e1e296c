"""Settings shared by every test: hypothesis runs without a database or deadline."""
from hypothesis import settings

settings.register_profile("kaltrope", database=None, deadline=None)
settings.load_profile("kaltrope")
