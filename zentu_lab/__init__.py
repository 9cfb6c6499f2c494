"""The setter's command, zentu-lab: a release with a key of one's own, a
class's handouts with a key for each student, and the marking of what the
students hand back."""
