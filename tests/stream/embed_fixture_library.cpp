// An ordinary library function beside the embedded note: the test never calls it.
int StreamEmbedFixtureAnswer() {
  return 42;
}
