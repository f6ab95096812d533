// Placeholder: filled in by this unit's owner.
