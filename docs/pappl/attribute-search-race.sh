#!/bin/bash
# PAPPL 1.3.1 searches one printer's attribute list from several threads at
# once, under a lock they all share (client threads checking a job's media,
# the main thread saving the state after a job). libcups's attribute search
# keeps its place inside the list itself (ipp->current, ipp->atend), so a
# search that runs while another ends can miss an attribute that is there;
# the job's media is then ignored ("Ignoring unsupported media keyword
# value."). Through IPP the window is a few instructions wide and shows only
# now and then; this shows it in libcups directly: one thread looks for an
# attribute that is there while two look for one that is not.
# dotweave-app lets one attribute search run at a time
# (app/ipp_find_lock.cpp).
# Usage: attribute-search-race.sh   (needs a C compiler and libcups2-dev, for cups-config)
set -eu
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/race.c" <<'C'
#include <cups/ipp.h>
#include <pthread.h>
#include <stdatomic.h>
#include <stdio.h>

static ipp_t *list;
static atomic_int misses, done;

static void *present(void *unused)
{
    (void)unused;
    for (int i = 0; i < 5000000; i++)
        if (ippFindAttribute(list, "media-supported", IPP_TAG_ZERO) == NULL)
            misses++;
    done = 1;
    return NULL;
}

static void *absent(void *unused)
{
    (void)unused;
    while (!done)
        ippFindAttribute(list, "no-such-attribute", IPP_TAG_ZERO);
    return NULL;
}

int main(void)
{
    list = ippNew();
    for (int i = 0; i < 30; i++) {
        char name[32];
        snprintf(name, sizeof(name), "attribute-%d", i);
        ippAddInteger(list, IPP_TAG_PRINTER, IPP_TAG_INTEGER, name, i);
    }
    ippAddString(list, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "media-supported", NULL, "na_index-4x6_4x6in");
    pthread_t threads[3];
    pthread_create(&threads[1], NULL, absent, NULL);
    pthread_create(&threads[2], NULL, absent, NULL);
    pthread_create(&threads[0], NULL, present, NULL);
    for (int i = 0; i < 3; i++)
        pthread_join(threads[i], NULL);
    printf("%d of 5000000 searches missed an attribute that is there\n", (int)misses);
    return misses > 0;
}
C
# shellcheck disable=SC2046 # cups-config gives several flags
cc -O2 -o "$work/race" "$work/race.c" $(cups-config --cflags --libs) -lpthread
if "$work/race"; then
  echo "not affected: concurrent attribute searches of one list"
else
  echo "AFFECTED: concurrent attribute searches of one list miss attributes"
  exit 1
fi
